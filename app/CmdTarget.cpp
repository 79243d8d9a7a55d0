#include "CmdTarget.h"

CCmdUI CCommandRouter::Query(int id) const
{
    CCmdUI ui(id);
    bool handled = false;
    for (CCmdTarget* t : m_targets)
        if (t && t->HasHandler(id)) {
            handled = true;
            break;
        }
    for (CCmdTarget* t : m_targets) {
        if (t && t->HasUpdate(id)) {
            t->Update(id, ui);
            if (!ui.m_bEnableSet)
                ui.m_bEnabled = handled;
            return ui;
        }
    }
    ui.m_bEnabled = handled;
    return ui;
}

bool CCommandRouter::Execute(int id) const
{
    if (!Query(id).m_bEnabled)
        return false;
    for (CCmdTarget* t : m_targets)
        if (t && t->HasHandler(id)) {
            t->Run(id);
            return true;
        }
    return false;
}
