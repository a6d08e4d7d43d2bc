#include "Core/locksection.h"

namespace Zel {

locksection::locksection() {
    InitializeCriticalSection(&section_);
}

locksection::~locksection() {
    DeleteCriticalSection(&section_);
}

void locksection::Enter() {
    EnterCriticalSection(&section_);
}

void locksection::Leave() {
    LeaveCriticalSection(&section_);
}

}  // namespace Zel
