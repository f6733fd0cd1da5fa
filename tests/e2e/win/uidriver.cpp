// uidriver: looks at the launcher's window and acts on it as a person would,
// from a console program in the same Wine prefix. Prints one JSON object.
//
//   uidriver --exe NAME [--timeout MS] COMMAND [ARGS]
//
//   dump                         wait for the window to be up, then describe it
//   click ID | mouse-click ID    press a button
//   select ID INDEX              pick a combo box entry
//   key NAME                     tab, escape, enter, space, down, up, alt-f4
//   close                        the caption's close box
//   wait-gone                    until the window no longer exists
//   wait-control ID FIELD VALUE  FIELD: enabled, visible, focused (0 or 1), text
//   wait-window FIELD VALUE      FIELD: visible, iconic, foreground (0 or 1), title
//   message-boxes                list the message boxes of the process
//   wait-message-box             until a message box is up, then list them
//   message-box-ok               press OK on the first message box
//   text-fit MODULE              whether each text fits its control (text_fit.h);
//                                MODULE is the exe's path
//   accessible                   each control's name and role for a screen reader
//   mouse-choose ID INDEX        click entry INDEX of the combo box's dropped-down list
//
// Exit code 0 when the command succeeded, 1 when it failed or timed out,
// 2 for a malformed command line.

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "accessible_names.h"
#include "json_writer.h"
#include "text_fit.h"
#include "user_actions.h"
#include "window_finder.h"
#include "window_report.h"

namespace {

struct Options {
  std::wstring exeName;
  DWORD timeoutMs = 30000;
  std::vector<std::wstring> command;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--exe" && hasValue)
      options.exeName = argv[++i];
    else if (arg == L"--timeout" && hasValue)
      options.timeoutMs = wcstoul(argv[++i], nullptr, 10);
    else
      options.command.push_back(arg);
  }
  return !options.command.empty() && !options.exeName.empty();
}

std::string Narrow(const std::wstring& text) { return JsonWriter::ToUtf8(text); }

bool FieldMatches(HWND window, HWND dialog, const std::wstring& field, const std::wstring& value) {
  bool wanted = value == L"1" || value == L"true";
  if (field == L"enabled") return (IsWindowEnabled(window) != FALSE) == wanted;
  if (field == L"visible") return (IsWindowVisible(window) != FALSE) == wanted;
  if (field == L"iconic") return (IsIconic(window) != FALSE) == wanted;
  if (field == L"foreground") return (GetForegroundWindow() == window) == wanted;
  if (field == L"focused") {
    HWND focus = FocusedWindow(dialog);
    return (focus && (focus == window || IsChild(window, focus))) == wanted;
  }
  if (field == L"text") return ControlText(window) == value;
  if (field == L"title") return WindowTitle(window) == value;
  return false;
}

class Driver {
 public:
  explicit Driver(const Options& options) : options_(options) {}

  int Run() {
    const std::vector<std::wstring>& command = options_.command;
    const std::wstring& verb = command[0];
    if (verb == L"wait-gone") return WaitGone();
    if (verb == L"message-boxes") return ReportMessageBoxes(true);
    if (verb == L"wait-message-box") return WaitForMessageBox();
    if (verb == L"message-box-ok") return PressOkOnMessageBox();

    HWND dialog = WaitForReadyDialog(options_.exeName, options_.timeoutMs);
    if (!dialog) return Fail("no launcher window appeared", nullptr);
    if (verb == L"dump") return Succeed(dialog);
    if (verb == L"close") return Act(dialog, CloseFromCaption(dialog));
    if (verb == L"click" && command.size() == 2) return Act(dialog, ClickButton(dialog, Id(1)));
    if (verb == L"mouse-click" && command.size() == 2)
      return Act(dialog, MouseClick(dialog, Id(1)));
    if (verb == L"select" && command.size() == 3)
      return Act(dialog, ChooseComboEntry(dialog, Id(1), Id(2)));
    if (verb == L"key" && command.size() == 2)
      return Act(dialog, PressKey(dialog, Narrow(command[1])));
    if (verb == L"wait-control" && command.size() == 4) {
      HWND control = GetDlgItem(dialog, Id(1));
      if (!control) return Fail("no control with id " + Narrow(command[1]), dialog);
      return WaitField(dialog, control, "control " + Narrow(command[1]), 2);
    }
    if (verb == L"wait-window" && command.size() == 3)
      return WaitField(dialog, dialog, "the window", 1);
    if (verb == L"text-fit" && command.size() == 2)
      return WriteTextFitReport(json_, dialog, command[1]) ? 0 : 1;
    if (verb == L"accessible") return WriteAccessibleNamesReport(json_, dialog) ? 0 : 1;
    if (verb == L"mouse-choose" && command.size() == 3)
      return Act(dialog, MouseChooseDroppedEntry(dialog, Id(1), Id(2)));
    return Usage();
  }

  const JsonWriter& Output() const { return json_; }

 private:
  int Id(size_t position) const {
    return static_cast<int>(wcstol(options_.command[position].c_str(), nullptr, 10));
  }

  int Succeed(HWND dialog) { return Report(nullptr, dialog); }

  int Fail(const std::string& error, HWND dialog) { return Report(&error, dialog); }

  // The one report shape: ok, the error when there is one, and the window.
  int Report(const std::string* error, HWND dialog) {
    json_.BeginObject();
    json_.Key("ok").Bool(error == nullptr);
    if (error != nullptr) json_.Key("error").String(*error);
    json_.Key("window");
    if (dialog && IsWindow(dialog))
      WriteDialogReport(json_, dialog);
    else
      json_.Null();
    json_.EndObject();
    return error == nullptr ? 0 : 1;
  }

  // After an action only its success is reported: the window may be gone.
  int Act(HWND dialog, const std::string& problem) {
    return problem.empty() ? Succeed(nullptr) : Fail(problem, dialog);
  }

  int Usage() {
    Fail("malformed command line", nullptr);
    return 2;
  }

  int WaitGone() {
    if (WaitFor(options_.timeoutMs, [&] { return FindMainDialog(options_.exeName) == nullptr; }))
      return Succeed(nullptr);
    return Fail("the launcher window is still there", FindMainDialog(options_.exeName));
  }

  // Waits until `window` (a control, or the dialog) has FIELD = VALUE, the
  // command's words from `at` on.
  int WaitField(HWND dialog, HWND window, const std::string& what, size_t at) {
    const std::wstring& field = options_.command[at];
    const std::wstring& value = options_.command[at + 1];
    if (WaitFor(options_.timeoutMs, [&] { return FieldMatches(window, dialog, field, value); }))
      return Succeed(dialog);
    return Fail(what + " never had " + Narrow(field) + " = " + Narrow(value), dialog);
  }

  int ReportMessageBoxes(bool ok) {
    json_.BeginObject();
    json_.Key("ok").Bool(ok);
    if (!ok) json_.Key("error").String(std::string("no message box appeared"));
    json_.Key("message_boxes").BeginArray();
    for (HWND box : FindMessageBoxes(options_.exeName)) WriteMessageBoxReport(json_, box);
    json_.EndArray();
    json_.EndObject();
    return ok ? 0 : 1;
  }

  int WaitForMessageBox() {
    return ReportMessageBoxes(
        WaitFor(options_.timeoutMs, [&] { return !FindMessageBoxes(options_.exeName).empty(); }));
  }

  int PressOkOnMessageBox() {
    std::vector<HWND> boxes;
    WaitFor(options_.timeoutMs, [&] {
      boxes = FindMessageBoxes(options_.exeName);
      return !boxes.empty();
    });
    if (boxes.empty()) return ReportMessageBoxes(false);
    return Act(nullptr, PressMessageBoxOk(boxes.front()));
  }

  const Options& options_;
  JsonWriter json_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    PrintReport(false, "error", std::string("usage: uidriver --exe NAME COMMAND ..."));
    return 2;
  }
  Driver driver(options);
  int exitCode = driver.Run();
  PrintJsonLine(driver.Output());
  return exitCode;
}
