#!/usr/bin/env python3
"""assets/embed.py ASSET_DIR OUT.cpp -- the embedded data of every build (the page's too), placed with
.incbin in the order of the table below, with the sizes and counts of assets/assets.h (read from it,
each file checked against them). Each symbol is spelled out with its own size: WebAssembly's
assembler wants data symbols sized and cannot place one at an offset from another."""
import os
import re
import sys

src, out = sys.argv[1], sys.argv[2]
header = open(os.path.join(src, 'assets.h')).read()
SIZES = {name: eval(expr) for name, expr in re.findall(r'^\s*([A-Z_]+)\s*=\s*([0-9 */+-]+),', header, re.M)}
SIZES['SCROLL_ARRAY_BYTES'] = int(re.search(r'g_scrollText\[(\d+)\]', header).group(1))


def size(name):
    return os.path.getsize(os.path.join(src, name))


def whole(name, expected=None):
    if expected not in (None, size(name)):
        sys.exit('assets/embed.py: %s holds %d bytes; assets/assets.h says %d' % (name, size(name), expected))
    return [(name, 0, size(name))]


slides = ['slide%d.dxt1' % i for i in range(SIZES['SLIDE_COUNT'])]
text = size('scroll.txt')
if text + 1 > SIZES['SCROLL_ARRAY_BYTES']:
    sys.exit('assets/embed.py: the scroll text outgrows its array of %d bytes' % SIZES['SCROLL_ARRAY_BYTES'])
title = SIZES['TITLE_HEADER_BYTES']
# (symbol, aligned to 16, what it holds: (file, skip, bytes) or ('zeros', bytes))
LAYOUT = [
    ('g_moduleData', True, whole('music.xm')),
    ('g_moduleData_end', False, []),
    # The pictures, directly behind the module.
    ('g_globeImage', True, whole('globe.argb4444', SIZES['GLOBE_IMAGE_BYTES'])),
    ('g_sparkImage', False, whole('spark.rgb565', SIZES['SPARK_IMAGE_BYTES'])),
    ('g_captionImage', False, whole('caption.rgb565', SIZES['CAPTION_IMAGE_BYTES'])),
    ('g_titleHeader', False, [('title.dds', 0, title)]),
    ('g_titleImage', False, [('title.dds', title, SIZES['TITLE_IMAGE_BYTES'])]),
    ('g_slideImages', False, [p for s in slides for p in whole(s, SIZES['SLIDE_IMAGE_BYTES'])]),
    ('g_pictureData_end', False, []),
    # The scroll text, its NUL and zeros up to the array's size.
    ('g_scrollText', True, whole('scroll.txt')),
    ('g_scrollText_end', False, [('zeros', SIZES['SCROLL_ARRAY_BYTES'] - text)]),
]
if size('title.dds') != title + SIZES['TITLE_IMAGE_BYTES']:
    sys.exit('assets/embed.py: title.dds is not a %d-byte header and the image assets/assets.h says' % title)

lines = ['// Written by assets/embed.py from assets/: the embedded data, the same in every build.',
         '#include "assets/assets.h"', '',
         '#define QE_STR2(x) #x', '#define QE_STR(x) QE_STR2(x)', '#define QE_SYMBOL(name) QE_STR(__USER_LABEL_PREFIX__) #name',
         '#if defined(__wasm__)', '#define QE_SECTION ".section .rodata.qe_assets,\\"\\",@\\n"',
         '#define QE_SIZE(name, n) ".size " #name ", " #n "\\n"',
         '#elif defined(_WIN32)', '#define QE_SECTION ".section .rdata,\\"dr\\"\\n"', '#define QE_SIZE(name, n) ""',
         '#else', '#define QE_SECTION ".section .rodata\\n"', '#define QE_SIZE(name, n) ""', '#endif', '',
         'asm(QE_SECTION']
for name, align, parts in LAYOUT:
    if align:
        lines.append('    ".balign 16\\n"')
    lines.append('    ".globl " QE_SYMBOL(%s) "\\n" QE_SYMBOL(%s) ":\\n"' % (name, name))
    for p in parts:
        if p[0] == 'zeros':
            lines.append('    ".zero %d\\n"' % p[1])
        else:
            lines.append('    ".incbin \\"%s\\", %d, %d\\n"' % (os.path.join(os.path.abspath(src), p[0]), p[1], p[2]))
    lines.append('    QE_SIZE(%s, %d)' % (name, sum(p[1] if p[0] == 'zeros' else p[2] for p in parts)))
lines.append('    ".text\\n");')
lines.append('')
lines.append('const uint8_t* const g_slidePointers[SLIDE_COUNT] = {')
lines.append('    ' + ', '.join('g_slideImages + %d * SLIDE_IMAGE_BYTES' % i for i in range(len(slides))) + ',')
lines.append('};')
with open(out + '.tmp', 'w') as f:
    f.write('\n'.join(lines) + '\n')
os.replace(out + '.tmp', out)
