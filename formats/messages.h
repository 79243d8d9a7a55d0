// The core's message box. Readers and writers report to the user through
// AfxMessageBox; the GUI installs a sink that shows a real message box, the
// converter prints to standard error, and tests record.
#pragma once

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
