// Objects of the screen saver live on the process heap. The language's own allocator
// would link the C++ library's exception machinery into a stub that throws nothing,
// several times the size of everything else in it.
#pragma once

#include <windows.h>

#include <new>
#include <utility>

template <class T, class... Args> T* HeapNew(Args&&... args) {
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(T));
    return memory != NULL ? new (memory) T(std::forward<Args>(args)...) : NULL;
}

template <class T> void HeapDelete(T* object) {
    if (object != NULL) {
        object->~T();
        HeapFree(GetProcessHeap(), 0, object);
    }
}
