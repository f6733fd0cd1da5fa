// uidriver: looks at the launcher's window and acts on it as a person would,
// from a console program in the same Wine prefix. Prints one JSON object.
//
//   uidriver [--exe NAME] [--title TEXT] [--timeout MS] [--out FILE] COMMAND [ARGS]
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
//
// Exit code 0 when the command succeeded, 1 when it failed or timed out,
// 2 for a malformed command line.

#include <windows.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "json_writer.h"
#include "user_actions.h"
#include "window_finder.h"
#include "window_report.h"

namespace {

struct Options {
  WindowQuery query;
  DWORD timeoutMs = 30000;
  std::wstring outPath;
  std::vector<std::wstring> command;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == L"--exe" && hasValue)
      options.query.exeName = argv[++i];
    else if (arg == L"--title" && hasValue)
      options.query.title = argv[++i];
    else if (arg == L"--timeout" && hasValue)
      options.timeoutMs = wcstoul(argv[++i], nullptr, 10);
    else if (arg == L"--out" && hasValue)
      options.outPath = argv[++i];
    else
      options.command.push_back(arg);
  }
  return !options.command.empty() &&
         !(options.query.exeName.empty() && options.query.title.empty());
}

// Polls a condition until it holds or the time is up: every wait of the bench
// is on something observable, never on a fixed delay.
bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition) {
  ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
}

// Up means: the dialog exists and its thread answers messages, so start-up
// is over and the launcher's loop is pumping.
HWND WaitForReadyDialog(const Options& options) {
  HWND dialog = nullptr;
  WaitFor(options.timeoutMs, [&] {
    dialog = FindMainDialog(options.query);
    DWORD_PTR ignored = 0;
    return dialog && SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored);
  });
  return dialog;
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

    HWND dialog = WaitForReadyDialog(options_);
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
    if (verb == L"wait-control" && command.size() == 4) return WaitControl(dialog);
    if (verb == L"wait-window" && command.size() == 3) return WaitWindow(dialog);
    return Usage();
  }

  const std::string& Output() const { return json_.Text(); }

 private:
  int Id(size_t position) const {
    return static_cast<int>(wcstol(options_.command[position].c_str(), nullptr, 10));
  }

  int Succeed(HWND dialog) { return Report(nullptr, dialog); }

  int Fail(const std::string& error, HWND dialog) { return Report(&error, dialog); }

  // The one report shape: ok, the error when there is one, and the window.
  int Report(const std::string* error, HWND dialog) {
    json_.BeginObject();
    json_.Key("ok");
    json_.Bool(error == nullptr);
    if (error != nullptr) {
      json_.Key("error");
      json_.String(*error);
    }
    json_.Key("window");
    if (dialog && IsWindow(dialog))
      WriteDialogReport(json_, dialog);
    else
      json_.Null();
    json_.EndObject();
    return error == nullptr ? 0 : 1;
  }

  int Act(HWND dialog, const std::string& problem) {
    if (!problem.empty()) return Fail(problem, dialog);
    json_.BeginObject();
    json_.Key("ok");
    json_.Bool(true);
    json_.EndObject();
    return 0;
  }

  int Usage() {
    json_.BeginObject();
    json_.Key("ok");
    json_.Bool(false);
    json_.Key("error");
    json_.String(std::string("malformed command line"));
    json_.EndObject();
    return 2;
  }

  int WaitGone() {
    if (WaitFor(options_.timeoutMs, [&] { return FindMainDialog(options_.query) == nullptr; }))
      return Succeed(nullptr);
    return Fail("the launcher window is still there", FindMainDialog(options_.query));
  }

  int WaitControl(HWND dialog) {
    const std::vector<std::wstring>& command = options_.command;
    HWND control = GetDlgItem(dialog, Id(1));
    if (!control) return Fail("no control with id " + Narrow(command[1]), dialog);
    if (WaitFor(options_.timeoutMs,
                [&] { return FieldMatches(control, dialog, command[2], command[3]); }))
      return Succeed(dialog);
    return Fail("control " + Narrow(command[1]) + " never had " + Narrow(command[2]) + " = " +
                    Narrow(command[3]),
                dialog);
  }

  int WaitWindow(HWND dialog) {
    const std::vector<std::wstring>& command = options_.command;
    if (WaitFor(options_.timeoutMs,
                [&] { return FieldMatches(dialog, dialog, command[1], command[2]); }))
      return Succeed(dialog);
    return Fail("the window never had " + Narrow(command[1]) + " = " + Narrow(command[2]), dialog);
  }

  int ReportMessageBoxes(bool ok) {
    json_.BeginObject();
    json_.Key("ok");
    json_.Bool(ok);
    if (!ok) {
      json_.Key("error");
      json_.String(std::string("no message box appeared"));
    }
    json_.Key("message_boxes");
    json_.BeginArray();
    for (HWND box : FindMessageBoxes(MessageBoxQuery())) WriteMessageBoxReport(json_, box);
    json_.EndArray();
    json_.EndObject();
    return ok ? 0 : 1;
  }

  int WaitForMessageBox() {
    bool found =
        WaitFor(options_.timeoutMs, [&] { return !FindMessageBoxes(MessageBoxQuery()).empty(); });
    return ReportMessageBoxes(found);
  }

  int PressOkOnMessageBox() {
    std::vector<HWND> boxes;
    WaitFor(options_.timeoutMs, [&] {
      boxes = FindMessageBoxes(MessageBoxQuery());
      return !boxes.empty();
    });
    if (boxes.empty()) return ReportMessageBoxes(false);
    return Act(nullptr, PressMessageBoxOk(boxes.front()));
  }

  // Message boxes carry their own titles: look for them by process alone.
  WindowQuery MessageBoxQuery() const {
    WindowQuery query = options_.query;
    if (!query.exeName.empty()) query.title.clear();
    return query;
  }

  const Options& options_;
  JsonWriter json_;
};

void WriteOutput(const Options& options, const std::string& text) {
  std::string line = text + "\n";
  HANDLE output = options.outPath.empty()
                      ? GetStdHandle(STD_OUTPUT_HANDLE)
                      : CreateFileW(options.outPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE || !output) return;
  DWORD written = 0;
  WriteFile(output, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  if (!options.outPath.empty()) CloseHandle(output);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    WriteOutput(
        options,
        "{\"ok\":false,\"error\":\"usage: uidriver (--exe NAME | --title TEXT) COMMAND ...\"}");
    return 2;
  }
  Driver driver(options);
  int exitCode = driver.Run();
  WriteOutput(options, driver.Output());
  return exitCode;
}
