r"""Writes the Windows check's folder, all but the programs:

  check.cmd          the check itself, with the CR LF line ends that cmd
                     wants in a batch file that jumps to labels
  recipes\NAME.cmd   every ```bat block of README.md, exactly as printed,
                     named after the heading above it
  recipes\index.txt  one line a recipe: its file's name; the dialog it asks
                     for (open, multi, lines, save or folder); for Wine,
                     "percent" where Wine's cmd expands a % in the name a
                     second time (in the call that the change for Wine,
                     below, puts in, and in its dir), else "-"; then where
                     it shows the item picked and the whole line that shows
                     it (RESULTS)
  help.txt           the help's bytes, as the source writes them
  names\             files whose names hold what cmd and the code pages
                     treat specially, each holding a line of its own
  many.txt           300 names of 40 characters holding what cmd reads
                     specially, too many for one line of cmd
  long.txt           400 names of 60, over 20480 characters in all

  make_check.py SOURCE_DIR VERSION OUT_DIR [--wine]

With --wine only the recipes are written, with the one change the README
documents for Wine's cmd: `do %%L` becomes `do call %%L`."""
import os
import re
import sys

BLOCK = re.compile(r'^```bat\n(.*?)^```\n', re.S | re.M)
HEADING = re.compile(r'^#{2,4} (.+)$', re.M)
# Blanks, and each of % ! & ^ ( ) that cmd reads specially; e-acute, which
# the code pages 1252, 850 and 65001 all hold (each as other bytes); and
# Chinese, which only UTF-8 of the three holds.
NAMES = ['1 50% wow! a&b ^c (x).txt', '2 caf\u00e9 \u00e9t\u00e9.txt', '3 \u4e2d\u6587 \u540d.txt']
# Where each recipe, by its heading, shows the item picked, and the whole
# line that shows it: in its output (out), in what it left beside itself
# (listing: the names, then what its texts say) or among the documents
# (saved). {ITEM} is the item as the line names it, {NAME} its last part,
# {Q} a double quote (the driver takes no quotes inside a parameter); any
# other {VARIABLE} is one of the check's own.
RESULTS = {
    'A first script': ('out', 'You chose {NAME} in {DOCS}\\'),
    'One file into a variable': ('out', 'You chose {NAME} in {DOCS}\\'),
    'Many files, one at a time': ('out', '{ITEM}'),
    'Backing up the chosen file': ('out', 'Backed up {Q}{ITEM}{Q}'),
    'Telling a cancel from a bad call': ('out', 'You chose {Q}{ITEM}{Q}'),
    'More on the line: the name in the middle': ('listing', 'Chosen {Q}{ITEM}{Q} by {USERNAME}'),
    'Asking where to save': ('saved', '{NAME}'),
    'A folder, then its files': ('out', 'inside {k}.txt'),
    'Named filters': ('out', '{Q}{ITEM}{Q}'),
}


def recipes(readme):
    """{heading: script} for every bat block, under the nearest heading."""
    return {HEADING.findall(readme, 0, block.start())[-1]: block.group(1) for block in BLOCK.finditer(readme)}


def for_wine(script):
    """The one change that the README documents for Wine's cmd."""
    return script.replace(' do %%L', ' do call %%L')


def batch_bytes(script):
    return script.replace('\n', '\r\n').encode('cp1252')


def kind(script):
    options = set(re.findall(r' (/[a-z]+)', script))
    for option, name in (('/folder', 'folder'), ('/save', 'save'), ('/lines', 'lines'), ('/multiselect', 'multi')):
        if option in options:
            return name
    return 'open'


def help_text(source, version):
    """HelpText of src/app/help.cpp, with the LF the program writes after it."""
    with open(os.path.join(source, 'src', 'app', 'help.cpp'), encoding='utf-8') as f:
        body = re.search(r'HelpText\[\] =(.*?);', f.read(), re.S).group(1)
    parts = re.findall(r'"((?:[^"\\]|\\.)*)"|(TAMBERLIN_VERSION)', body)
    text = ''.join(version if macro else literal.encode().decode('unicode_escape') for literal, macro in parts)
    return text.encode('ascii') + b'\n'


def main(source, version, out, wine=False):
    with open(os.path.join(source, 'README.md'), encoding='utf-8') as f:
        found = recipes(f.read())
    os.makedirs(os.path.join(out, 'recipes'), exist_ok=True)
    index = []
    for heading, script in found.items():
        name = re.sub(r'[^a-z0-9]+', '-', heading.lower()).strip('-') + '.cmd'
        percent = wine and (' do %%L' in script or re.search(r'\bdir\b.*%%~?[A-Z]', script))
        if wine:
            script = for_wine(script)
        with open(os.path.join(out, 'recipes', name), 'wb') as f:
            f.write(batch_bytes(script))
        if heading not in RESULTS:
            raise SystemExit('make_check.py: no RESULTS row for the recipe "%s"' % heading)
        index.append('%s %s %s %s %s\r\n' % (name, kind(script), 'percent' if percent else '-', *RESULTS[heading]))
    with open(os.path.join(out, 'recipes', 'index.txt'), 'w', newline='') as f:
        f.writelines(index)
    if wine:
        return
    with open(os.path.join(source, 'tests', 'windows', 'check.cmd'), 'rb') as f:
        check = f.read()
    with open(os.path.join(out, 'check.cmd'), 'wb') as f:
        f.write(check.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n'))
    with open(os.path.join(out, 'help.txt'), 'wb') as f:
        f.write(help_text(source, version))
    with open(os.path.join(out, 'many.txt'), 'w', newline='') as f:
        f.writelines('%d 50%% wow! a&b ^c (x) 1234567.txt\r\n' % i for i in range(100, 400))
    with open(os.path.join(out, 'long.txt'), 'w', newline='') as f:
        f.writelines('%d a name of sixty characters, and with a comma, to fill.txt\r\n' % i for i in range(1000, 1400))
    os.makedirs(os.path.join(out, 'names'), exist_ok=True)
    for name in NAMES:
        with open(os.path.join(out, 'names', name), 'wb') as f:
            f.write(b'contents of file ' + name[0].encode() + b'\r\n')


if __name__ == '__main__':
    main(*sys.argv[1:4], wine='--wine' in sys.argv[4:])
