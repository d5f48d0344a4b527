// window_host.exe: a recording window in a process of its own. Writes
// "window HANDLE" to standard output once the window exists; on kReportMessage
// writes the messages received so far, one a line, then "end"; exits when the
// window is closed. Arguments: see hostArguments.
#include <windows.h>
#include <shellapi.h>

#include "tests/desktop/recording_window.h"

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    RecordingWindow window(parseHostArguments(count, arguments));
    LocalFree(arguments);
    if (!window.handle())
        return 1;
    window.onMessage = [](HWND, UINT message) {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
    };
    writeLine(output, "window " + std::to_string(reinterpret_cast<intptr_t>(window.handle())));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == kReportMessage) {
            for (const RecordedMessage& entry : window.messages())
                writeLine(output, formatMessage(entry));
            writeLine(output, "end");
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
