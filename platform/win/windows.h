// The window layer in one include.
#pragma once

#include "platform/win/ipc.h"
#include "platform/win/messages.h"
#include "platform/win/queue.h"
#include "platform/win/timers.h"
#include "platform/win/types.h"
#include "platform/win/window.h"
