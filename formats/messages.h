// The core's message box. Readers and writers report to the user through
// AfxMessageBox; the GUI installs a sink that shows a real message box, the
// converter prints to standard error, and tests record.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

enum class MessageIcon { Information, Warning, Error };

using MessageSink = std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;

// Shows `text` with the application's caption and an OK button.
int AfxMessageBox(const std::string& text);
// Shows `text` with its own caption and icon (the JPEG fatal error box).
int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);

// Replaces the sink; an empty function restores the default (standard error).
void SetMessageSink(MessageSink sink);

// While one of these lives, messages are kept back instead of shown; when it
// ends they are shown in order unless Discard() was called. Loading uses it
// to try a second reader without the first one's complaints.
class MessageHold {
public:
    MessageHold();
    ~MessageHold();
    MessageHold(const MessageHold&) = delete;
    MessageHold& operator=(const MessageHold&) = delete;
    void Discard();

private:
    std::size_t m_first; // where this hold's messages start in the queue
    bool m_discard = false;
};
