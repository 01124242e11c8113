#!/usr/bin/env python3
"""web/make_page.py SHELL.html MODULE.js PAGE.js WORKLET.js WEB.h OUT.html -- the one self-contained page.

The program's JavaScript (with its WebAssembly inside) and the page's own go into the page shell;
the worklet becomes a data: URL, which a page opened from file:// may load (a blob: URL may not).
The browser event codes of WEB.h's enum become constants of the same names for the page.
"""
import base64
import re
import sys

shell, module, page, worklet, header, out = sys.argv[1:7]
html = open(shell, encoding='utf-8').read()
worklet_url = 'data:application/javascript;base64,' + base64.b64encode(open(worklet, 'rb').read()).decode()
events = re.findall(r'\b(WEB_EVENT_\w+) = (\d+)', open(header, encoding='utf-8').read())
if not events:
    sys.exit('make_page: no WEB_EVENT_ codes in ' + header)
constants = ''.join('var %s = %s;\n' % e for e in events)
page_js = 'var WORKLET = "%s";\n%s%s' % (worklet_url, constants, open(page, encoding='utf-8').read())
module_js = open(module, encoding='utf-8').read()
for text in (module_js, page_js):
    if '</script' in text.lower():
        sys.exit('make_page: a script holds "</script"')
html = html.replace('/*MODULE*/', module_js, 1).replace('/*PAGE*/', page_js, 1)
with open(out + '.tmp', 'w', encoding='utf-8') as f:
    f.write(html)
import os
os.replace(out + '.tmp', out)
