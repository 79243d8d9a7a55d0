// The command layer. Every command is a numeric id (res/resources.h). A
// command target registers, per id, a handler and optionally an update
// handler:
//
//     OnCommand(res::ID_ZOOM_IN, [this] { OnZoomIn(); });
//     OnUpdate(res::ID_ZOOM_IN, [this](CCmdUI& ui) { ui.Enable(HasPicture()); });
//
// Commands are routed view -> document -> frame -> application
// (CCommandRouter). The first target with an update handler for an id decides
// its state; without one, a command is enabled exactly when some target has a
// handler. The router runs the update before every command, so a disabled
// command never runs, whether it came from a menu, a key, a toolbar button or
// the context menu.
#pragma once

#include <QHash>
#include <QString>
#include <QVector>

#include <functional>

class CCmdUI {
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true)
    {
        m_bEnabled = on;
        m_bEnableSet = true;
    }
    void SetCheck(int check = 1)
    {
        m_nCheck = check;
        m_bCheckSet = true;
    }
    void SetText(const QString& text)
    {
        m_strText = text;
        m_bTextSet = true;
    }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bEnableSet = false;
    int m_nCheck = 0;
    bool m_bCheckSet = false;
    QString m_strText;
    bool m_bTextSet = false;
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;

    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    void OnCommand(int id, Handler handler) { m_handlers.insert(id, std::move(handler)); }
    void OnUpdate(int id, UpdateHandler handler) { m_updates.insert(id, std::move(handler)); }

    bool HasHandler(int id) const { return m_handlers.contains(id); }
    bool HasUpdate(int id) const { return m_updates.contains(id); }
    void Run(int id) const { m_handlers.value(id)(); }
    void Update(int id, CCmdUI& ui) const { m_updates.value(id)(ui); }

private:
    QHash<int, Handler> m_handlers;
    QHash<int, UpdateHandler> m_updates;
};

class CCommandRouter {
public:
    // Targets in routing order; null entries are skipped.
    void SetTargets(QVector<CCmdTarget*> targets) { m_targets = std::move(targets); }

    // The command's state as its update handler (or the rule above) says.
    CCmdUI Query(int id) const;
    // Runs the update, then the first handler, if the command is enabled.
    // Returns whether it ran.
    bool Execute(int id) const;

private:
    QVector<CCmdTarget*> m_targets;
};
