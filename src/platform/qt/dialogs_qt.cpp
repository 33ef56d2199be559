// Message boxes, questions and pop-up menus, with their seams for tests; the fatal report; and the running
// of the program's handlers and of the message loop.

#include "platform/qt/dialogs_qt.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMenu>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <utility>

#include "platform/lifecycle.h"
#include "platform/program.h"
#include "platform/qt/form_impl.h"
#include "platform/qt/screen_qt.h"

namespace brisel::platform {
namespace {

std::function<MessageBoxAnswer(const std::string&, const std::string&)> gAnswerer;
std::function<std::optional<int>(const std::vector<std::string>&)> gPopupChooser;
std::function<void(const Error&)> gFatalHook;

}  // namespace

std::optional<int> PopupMenu(Form& owner, const std::vector<std::string>& items) {
  if (gPopupChooser) return gPopupChooser(items);
  QMenu menu(owner.impl().window);
  for (size_t i = 0; i < items.size(); ++i) menu.addAction(QString::fromStdString(items[i]))->setData(int(i));
  QAction* chosen = menu.exec(QCursor::pos());
  if (!chosen) return std::nullopt;
  return chosen->data().toInt();
}

MessageBoxAnswer AskYesNo(const std::string& title, const std::string& text) {
  if (gAnswerer) return gAnswerer(title, text);
  if (HeadlessPlatform()) {
    std::fprintf(stderr, "%s: %s (answered No: no screen to ask on)\n", title.c_str(), text.c_str());
    return MessageBoxAnswer::No;
  }
  const std::unique_ptr<QMessageBox> box = MakeYesNoBox(title, text);
  return box->exec() == QMessageBox::Yes ? MessageBoxAnswer::Yes : MessageBoxAnswer::No;
}

std::unique_ptr<QMessageBox> MakeYesNoBox(const std::string& title, const std::string& text) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Question, QString::fromStdString(title),
                                           QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No);
  box->setDefaultButton(QMessageBox::No);
  box->setEscapeButton(QMessageBox::No);
  return box;
}

void ShowMessage(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "brisel: %s\n", text.c_str());
  if (gAnswerer) {
    gAnswerer(title, text);
    return;
  }
  if (!HeadlessPlatform()) QMessageBox::warning(nullptr, QString::fromStdString(title), QString::fromStdString(text));
}

void ReportFatal(const Error& error) {
  // The last words (a recovery copy of the painting) come first, so that even a test that catches the
  // report finds them done.
  const std::string lastWords = SayLastWords();
  if (gFatalHook) gFatalHook(error);
  std::fprintf(stderr, "brisel: error %d: %s\n", error.number(), error.what());
  if (!lastWords.empty()) std::fprintf(stderr, "brisel: %s\n", lastWords.c_str());
  std::fflush(stderr);
  if (qApp && !HeadlessPlatform())
    QMessageBox::critical(nullptr, kProgramName, FatalText(error, lastWords));
  std::exit(1);
}

QString FatalText(const Error& error, const std::string& lastWords) {
  // One arg() for all three: chained ones would take a "%1" in the error's text for a place of their own.
  return QString("Run-time error '%1':\n\n%2\n\n%3")
      .arg(QString::number(error.number()), QString::fromUtf8(error.what()), QString::fromStdString(lastWords));
}

namespace {
std::function<void()> gAfterEachHandler;
}  // namespace

void SetAfterEachHandler(std::function<void()> after) { gAfterEachHandler = std::move(after); }

void Dispatch(const std::function<void()>& handler) {
  try {
    handler();
    if (gAfterEachHandler) gAfterEachHandler();
  } catch (const Error& e) {
    ReportFatal(e);
  } catch (const std::bad_alloc&) {
    ReportFatal(Error(errors::kOutOfMemory, "Out of memory"));
  } catch (const std::exception& e) {
    ReportFatal(Error(errors::kInternal, std::string("Internal error: ") + e.what()));
  }
}

void SetMessageBoxAnswerer(std::function<MessageBoxAnswer(const std::string&, const std::string&)> answerer) {
  gAnswerer = std::move(answerer);
}
void SetPopupMenuChooser(std::function<std::optional<int>(const std::vector<std::string>&)> chooser) {
  gPopupChooser = std::move(chooser);
}
void SetFatalErrorHook(std::function<void(const Error&)> hook) { gFatalHook = std::move(hook); }

void ProcessEvents() { QCoreApplication::processEvents(); }

namespace {
QPointer<QEventLoop> gRunLoop;  // RunUntilUnloaded's, while it runs
}  // namespace

void RunUntilUnloaded(Form& form) {
  if (!form.loaded()) return;
  QEventLoop loop;
  form.impl().unloaded = [&loop] { loop.quit(); };
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, &loop, &QEventLoop::quit);
  gRunLoop = &loop;
  loop.exec();
  gRunLoop = nullptr;
  form.impl().unloaded = nullptr;
}

void LeaveRunUntilUnloaded() {
  if (gRunLoop) gRunLoop->quit();
}

}  // namespace brisel::platform
