// web/include/objbase.h -- COM's start and end, which the browser build has nothing to do for.
#pragma once
#include <windows.h>

inline HRESULT CoInitialize(void*) { return 0; }
inline void CoUninitialize() {}
