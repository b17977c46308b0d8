#pragma once
// The platform layer's message functions as a message source for RunMessageLoop.

#include "platform/platform.h"

struct PlatformMessages {
    using Message = PlatformMessage;
    bool Peek(Message* pMsg) { return PlatformPeekMessage(pMsg); }
    bool IsQuit(const Message& msg) { return PlatformIsQuitMessage(msg); }
    void Translate(const Message& msg) { PlatformTranslateMessage(msg); }
    void Dispatch(const Message& msg) { PlatformDispatchMessage(msg); }
};
