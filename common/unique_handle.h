// Small owners for platform handles. Each kind knows its own empty value: file handles
// are empty as INVALID_HANDLE_VALUE, most others as NULL. Owners move, never copy.
#pragma once

#include <windows.h>
#include <oleauto.h>

template <class Traits> class UniqueHandle {
  public:
    typedef typename Traits::Type Type;

    UniqueHandle() : value_(Traits::Empty()) {}
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) {
        Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(Traits::Empty()); }

    Type Get() const { return value_; }
    bool Valid() const { return value_ != Traits::Empty(); }

    Type Release() {
        Type value = value_;
        value_ = Traits::Empty();
        return value;
    }
    void Reset(Type value) {
        if (value_ != Traits::Empty()) {
            Traits::Close(value_);
        }
        value_ = value;
    }

  private:
    Type value_;
};

struct FileHandleTraits {
    typedef HANDLE Type;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};
struct KernelHandleTraits {
    typedef HANDLE Type;
    static Type Empty() { return NULL; }
    static void Close(Type h) { CloseHandle(h); }
};
struct RegKeyTraits {
    typedef HKEY Type;
    static Type Empty() { return NULL; }
    static void Close(Type h) { RegCloseKey(h); }
};
struct VirtualMemoryTraits {
    typedef void* Type;
    static Type Empty() { return NULL; }
    static void Close(Type p) { VirtualFree(p, 0, MEM_RELEASE); }
};
struct GdiObjectTraits {
    typedef HGDIOBJ Type;
    static Type Empty() { return NULL; }
    static void Close(Type h) { DeleteObject(h); }
};
struct LibraryTraits {
    typedef HMODULE Type;
    static Type Empty() { return NULL; }
    static void Close(Type h) { FreeLibrary(h); }
};
typedef UniqueHandle<LibraryTraits> Library; // LoadLibrary
struct BstrTraits {
    typedef BSTR Type;
    static Type Empty() { return NULL; }
    static void Close(Type s) { SysFreeString(s); }
};
typedef UniqueHandle<BstrTraits> Bstr; // SysAllocString

typedef UniqueHandle<FileHandleTraits> FileHandle;       // CreateFile
typedef UniqueHandle<KernelHandleTraits> KernelHandle;   // processes, threads, events
typedef UniqueHandle<RegKeyTraits> RegKey;               // registry keys
typedef UniqueHandle<VirtualMemoryTraits> VirtualBuffer; // VirtualAlloc
typedef UniqueHandle<GdiObjectTraits> GdiObject;         // fonts, bitmaps
