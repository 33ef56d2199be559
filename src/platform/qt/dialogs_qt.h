#pragma once
// The message boxes the platform layer puts to the user, made where a test can look at them.

#include <QMessageBox>

#include <memory>
#include <string>

namespace brisel::platform {

// The Yes/No question AskYesNo puts to the user. No is its default and its Escape answer: a question that
// can throw work away must not be answered Yes by a stray Enter.
std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& title, const std::string& text);

}  // namespace brisel::platform
