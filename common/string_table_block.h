// Encoder for one RT_STRING resource block: 16 counted UTF-16LE strings, no terminators.
#pragma once

#include <windows.h>

class StringTableBlock {
  public:
    static const int kEntries = 16;
    // Room for the largest block the wizard makes: the 8-character stem and a
    // 255-character display name (558 bytes).
    static const int kMaxUnits = 8 + 255;
    static const int kCapacity = 2 * kEntries + 2 * kMaxUnits;

    StringTableBlock();
    StringTableBlock(const StringTableBlock&) = delete;
    StringTableBlock& operator=(const StringTableBlock&) = delete;

    // Widens `text` with `codePage` into entry `index`. Entries are added in increasing
    // index order; the ones skipped or never added stay empty. False, with the block
    // unchanged, when the order is broken, the conversion fails or the block is full.
    bool Add(int index, const char* text, UINT codePage);

    const BYTE* Data() const { return bytes_; }
    DWORD Size() const { return size_ + 2 * (kEntries - next_); }

    // The thread ANSI code page rule: CP_THREAD_ACP on the NT family from version 5,
    // otherwise the default ANSI code page of the thread's locale, else GetACP().
    static UINT ThreadCodePage();
    // The same decision from given platform values, so tests need not fake the platform.
    // `localeCodePage` is what GetLocaleInfoA gave for LOCALE_IDEFAULTANSICODEPAGE, or NULL.
    static UINT ThreadCodePageFor(const OSVERSIONINFOA& version, const char* localeCodePage,
                                  UINT acp);

  private:
    BYTE bytes_[kCapacity];
    DWORD size_; // bytes used by entries [0, next_)
    int next_;
};
