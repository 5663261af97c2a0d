// A move-only owner of one COM interface reference, as UniqueHandle owns a handle: empty is
// null, the reference is released when the owner goes, and Put() hands the empty slot to a
// function that fills an out-parameter (CoCreateInstance, QueryInterface).
#pragma once

#include <windows.h>
#include <unknwn.h>

template <class T> class ComPtr {
  public:
    ComPtr() : pointer_(NULL) {}
    // Takes over a reference the caller already holds.
    explicit ComPtr(T* pointer) : pointer_(pointer) {}
    ComPtr(ComPtr&& other) : pointer_(other.Detach()) {}
    ComPtr& operator=(ComPtr&& other) {
        Reset(other.Detach());
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(NULL); }

    // A second reference to an interface someone else owns.
    static ComPtr Share(T* pointer) {
        if (pointer != NULL) {
            pointer->AddRef();
        }
        return ComPtr(pointer);
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    bool Valid() const { return pointer_ != NULL; }

    // The out-parameter form: drops what is held, then gives the empty slot to fill.
    T** Put() {
        Reset(NULL);
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

    // Gives up the reference without releasing it.
    T* Detach() {
        T* pointer = pointer_;
        pointer_ = NULL;
        return pointer;
    }
    // Releases what is held (after clearing, so a Release that calls back finds it empty).
    void Reset(T* pointer) {
        T* old = pointer_;
        pointer_ = pointer;
        if (old != NULL) {
            old->Release();
        }
    }

    // Another interface of the same object into `out`.
    template <class U> HRESULT Query(REFIID iid, ComPtr<U>* out) const {
        if (pointer_ == NULL) {
            out->Reset(NULL);
            return E_POINTER;
        }
        return pointer_->QueryInterface(iid, out->PutVoid());
    }

  private:
    T* pointer_;
};
