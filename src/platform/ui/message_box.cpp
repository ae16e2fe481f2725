#include "platform/ui/message_box.h"

#include <atomic>
#include <string>

#include "platform/win/debug_output.h"

namespace {
std::atomic<IMessageBoxService*> g_service{nullptr};
}

IMessageBoxService* SetMessageBoxService(IMessageBoxService* service) {
    return g_service.exchange(service);
}

void ReleaseMessageBoxWaiters() {
    if (IMessageBoxService* service = g_service.load()) service->ReleaseWaitingThreads();
}

const char* AfxGetAppName() {
    return "VLK-TScap";
}

int MessageBoxA(HWND owner, std::string_view text, std::string_view caption, unsigned type) {
    MessageBoxRequest request{owner, std::string(text), std::string(caption), type};
    if (IMessageBoxService* service = g_service.load()) return service->Show(request);
    OutputDebugStringA("MessageBox [" + request.caption + "]: " + request.text);
    return IDOK;
}

int AfxMessageBox(std::string_view text, unsigned type) {
    return MessageBoxA(nullptr, text, AfxGetAppName(), type);
}
