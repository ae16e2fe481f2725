#pragma once
// Message boxes for the system logic: text, caption, owner, an OK button, no icon unless asked.
// Every box goes through one process-wide service, so tests can record boxes instead of
// showing them. Safe to call from any thread: the service runs the box on the UI thread and the
// call returns when the user has dismissed it.
#include <string>
#include <string_view>

#include "platform/ui/window_handle.h"

inline constexpr unsigned MB_OK = 0x00000000;
inline constexpr unsigned MB_YESNO = 0x00000004;  // a question: Yes and No instead of OK
inline constexpr unsigned MB_ICONHAND = 0x00000010;
inline constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
inline constexpr unsigned MB_ICONERROR = MB_ICONHAND;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x00000030;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    unsigned type = MB_OK;

    friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // Shows the box and returns the button that closed it.
    virtual int Show(const MessageBoxRequest& request) = 0;
    // At shutdown: closes boxes that other threads wait on and answers their later requests at
    // once, so that those threads can end.
    virtual void ReleaseWaitingThreads() {}
};

// ReleaseWaitingThreads of the installed service.
void ReleaseMessageBoxWaiters();

// Installs the process-wide service (null: boxes go to the debugger output and answer IDOK).
// Returns the previous one.
IMessageBoxService* SetMessageBoxService(IMessageBoxService* service);

// The application's title: the caption of boxes that name none.
const char* AfxGetAppName();

int MessageBoxA(HWND owner, std::string_view text, std::string_view caption, unsigned type);

// A box owned by the application's main window, captioned with the application's title.
int AfxMessageBox(std::string_view text, unsigned type = MB_OK);
