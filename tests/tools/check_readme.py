"""The README as GitHub shows it: every table row keeps its header's cells
(GitHub splits a row at every `|` not written `\\|`, code spans included,
and drops what is past the header's count), the first script is on the
first screen, and the part for users stays short enough to read."""
import re
import sys

from markdown_it import MarkdownIt

FIRST_SCRIPT_BY = 60  # lines
USERS_PART_AT_MOST = 360  # lines, up to the developers' part
# The part for users ends where the word on testing begins.
USERS_END = '## How it is tested'


def cells(row):
    return len(re.split(r'(?<!\\)\|', row.strip().strip('|')))


def problems(text):
    lines = text.split('\n')
    tokens = MarkdownIt('commonmark').enable('table').parse(text)
    for token in tokens:
        if token.type == 'table_open':
            first, last = token.map
            want = cells(lines[first])
            for number in range(first + 2, last):
                if lines[number].strip() and cells(lines[number]) != want:
                    yield f'line {number + 1}: {cells(lines[number])} cells under a header of {want}'
    fences = [t for t in tokens if t.type == 'fence' and t.info == 'bat']
    if not fences or fences[0].map[0] >= FIRST_SCRIPT_BY:
        yield f'the first batch script does not start within the first {FIRST_SCRIPT_BY} lines'
    users = lines.index(USERS_END) if USERS_END in lines else len(lines)
    if users > USERS_PART_AT_MOST:
        yield f'the part for users is {users} lines, more than {USERS_PART_AT_MOST}'


if __name__ == '__main__':
    with open(sys.argv[1], encoding='utf-8') as f:
        found = list(problems(f.read()))
    for problem in found:
        print(problem)
    sys.exit(1 if found else 0)
