#include "messages.h"

#include <cstdio>

namespace {
MessageSink g_sink;
}

int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
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
