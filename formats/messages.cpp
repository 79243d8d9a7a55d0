#include "messages.h"

#include <cstdio>

#include <vector>

namespace {
MessageSink g_sink;

struct HeldMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
};
int g_holds = 0;
std::vector<HeldMessage> g_held;
} // namespace

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    if (g_holds > 0) {
        g_held.push_back({text, caption, icon});
        return 1;
    }
    if (g_sink) {
        g_sink(text, caption, icon);
        return 1;
    }
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 1;
}

int AfxMessageBox(const std::string& text)
{
    return ShowMessage(text, "Korvex", MessageIcon::Warning);
}

void SetMessageSink(MessageSink sink)
{
    g_sink = std::move(sink);
}

MessageHold::MessageHold() : m_first(g_held.size())
{
    ++g_holds;
}

void MessageHold::Discard()
{
    m_discard = true;
}

MessageHold::~MessageHold()
{
    std::vector<HeldMessage> mine(g_held.begin() + std::ptrdiff_t(m_first), g_held.end());
    g_held.resize(m_first);
    --g_holds;
    if (!m_discard)
        for (const HeldMessage& m : mine)
            ShowMessage(m.text, m.caption, m.icon);
}
