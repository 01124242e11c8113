#!/usr/bin/env python3
"""web/embed_assets.py ASSET_DIR OUT.cpp -- the embedded data for the WebAssembly build.

The other builds place assets/ with assets/*.cpp (.incbin in a plain .rodata section). WebAssembly's
assembler wants every data symbol sized and cannot place one symbol at an offset from another, so
this writes the same symbols, in the same order and with the same contents, with those spelled out.
"""
import os
import sys

src, out = sys.argv[1], sys.argv[2]


def size(name):
    return os.path.getsize(os.path.join(src, name))


items = []  # (symbol, [(file, skip, count) or ('zeros', n)], size)
music = size('music.xm')
items.append(('g_moduleData', [('music.xm', 0, music)]))
items.append(('g_moduleData_end', []))
text = size('scroll.txt')
if text + 1 > 65536:
    sys.exit('embed_assets: the scroll text outgrows its 64 KiB array')
items.append(('g_scrollText', [('scroll.txt', 0, text)]))
items.append(('g_scrollText_end', [('zeros', 65536 - text)]))
items.append(('g_globeImage', [('globe.argb4444', 0, size('globe.argb4444'))]))
items.append(('g_sparkImage', [('spark.rgb565', 0, size('spark.rgb565'))]))
items.append(('g_captionImage', [('caption.rgb565', 0, size('caption.rgb565'))]))
items.append(('g_titleHeader', [('title.dds', 0, 128)]))
items.append(('g_titleImage', [('title.dds', 128, size('title.dds') - 128)]))
items.append(('g_slideImages', [('slide%d.dxt1' % i, 0, size('slide%d.dxt1' % i)) for i in range(7)]))
items.append(('g_pictureData_end', []))

lines = ['// Written by web/embed_assets.py from assets/: the embedded data for the WebAssembly build.',
         '#include <cstdint>', '', 'asm(', '    ".section .rodata.qe_assets,\\"\\",@\\n"']
for name, parts in items:
    n = sum(p[1] if p[0] == 'zeros' else p[2] for p in parts)
    lines.append('    ".p2align 4\\n"' if name in ('g_moduleData', 'g_scrollText', 'g_globeImage') else '    ""')
    lines.append('    ".globl %s\\n%s:\\n"' % (name, name))
    for p in parts:
        if p[0] == 'zeros':
            lines.append('    ".zero %d\\n"' % p[1])
        else:
            lines.append('    ".incbin \\"%s\\", %d, %d\\n"' % (os.path.join(os.path.abspath(src), p[0]), p[1], p[2]))
    lines.append('    ".size %s, %d\\n"' % (name, n))
lines.append('    ".text\\n");')
lines.append('')
lines.append('extern "C" const uint8_t g_slideImages[];')
lines.append('extern const uint8_t* const g_slidePointers[7] = {')
lines.append('    ' + ', '.join('g_slideImages + %d' % (i * size('slide0.dxt1')) for i in range(7)) + ',')
lines.append('};')
with open(out + '.tmp', 'w') as f:
    f.write('\n'.join(lines) + '\n')
os.replace(out + '.tmp', out)
