// assets/incbin.h -- places a file from assets/ into the program's read-only data, as is.
// QE_INCBIN(name, "file") defines the byte array `name` (16-byte aligned) and `name_end` just past
// it; declare them extern "C" const uint8_t. Several items in one asm block are contiguous. End the
// block with ".text\n" (COFF has no .previous).
#pragma once

#define QE_STR2(x) #x
#define QE_STR(x) QE_STR2(x)
#define QE_SYMBOL(name) QE_STR(__USER_LABEL_PREFIX__) #name

#if defined(_WIN32)
#define QE_RODATA_SECTION ".section .rdata,\"dr\"\n"
#else
#define QE_RODATA_SECTION ".section .rodata\n"
#endif

// QE_ASSET_DIR is the absolute path of assets/, given by the build.
#define QE_INCBIN_ITEM(name, file, align)                 \
    ".balign " #align "\n"                                \
    ".globl " QE_SYMBOL(name) "\n"                        \
    QE_SYMBOL(name) ":\n"                                 \
    ".incbin \"" QE_ASSET_DIR "/" file "\"\n"             \
    ".globl " QE_SYMBOL(name##_end) "\n"                  \
    QE_SYMBOL(name##_end) ":\n"
