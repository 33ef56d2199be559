#pragma once
// The message boxes the platform layer puts to the user, made where a test can look at them.

#include <QMessageBox>
#include <QString>

#include <memory>
#include <string>

#include "platform/error.h"

namespace brisel::platform {

// The Yes/No question AskYesNo puts to the user. No is its default and its Escape answer: a question that
// can throw work away must not be answered Yes by a stray Enter.
std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& title, const std::string& text);
// The text of the box ReportFatal shows: the error's number and text, and the last words said before it.
QString FatalText(const Error& error, const std::string& lastWords);

}  // namespace brisel::platform
