#!/usr/bin/env python3
"""Writes data/shuttle.csv and data/digits.csv from Debian's packages.

    scripts/prepare_data.py [folder where the packages are unpacked]

Without a folder it fetches r-cran-mlbench and python3-sklearn with
`apt-get download` and unpacks them with `dpkg -x` into a temporary folder
(nothing is installed). The shipped files were made with this script; it is
never run by the toolbox or the tests.

shuttle comes from mlbench's Shuttle.rda: R's serialisation (format 2, XDR)
compressed with xz, read here by a small reader of the few kinds of R
objects a data frame of numbers and one factor holds. digits comes from
scikit-learn's digits.csv.gz (64 pixel counts, then the digit).
"""

import gzip
import lzma
import os
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SHUTTLE = 'usr/lib/R/site-library/mlbench/data/Shuttle.rda'
DIGITS = 'usr/lib/python3/dist-packages/sklearn/datasets/data/digits.csv.gz'


class RReader:
    """R serialisation format 2 in XDR: enough for a data frame."""

    NIL, SYM, LIST, CHAR, INT, REAL, STR, VEC, REF = 254, 1, 2, 9, 13, 14, 16, 19, 255
    SPECIAL = {254: None, 253: 'globalenv', 242: 'emptyenv', 251: 'missing', 252: 'unbound', 250: 'basenamespace'}

    def __init__(self, data):
        self.data = data
        self.at = 0
        self.refs = []

    def take(self, n):
        chunk = self.data[self.at:self.at + n]
        if len(chunk) != n:
            raise ValueError('truncated R data')
        self.at += n
        return chunk

    def int(self):
        return struct.unpack('>i', self.take(4))[0]

    def header(self):
        if self.take(5) != b'RDX2\n' or self.take(2) != b'X\n':
            raise ValueError('not an R data file of format 2 in XDR')
        if self.int() != 2:
            raise ValueError('serialisation format other than 2')
        self.int()  # the writer's R version
        self.int()  # the least R version that reads it

    def attributes(self):
        """A pairlist of attributes as a dict."""
        found = {}
        node = self.item()
        while node is not None:
            found[node['tag']] = node['value']
            node = node['next']
        return found

    def item(self):
        flags = self.int()
        kind = flags & 0xFF
        has_attr, has_tag = flags & 0x200, flags & 0x400
        if kind in self.SPECIAL:
            return self.SPECIAL[kind]
        if kind == self.REF:
            index = flags >> 8
            return self.refs[(index if index else self.int()) - 1]
        if kind == self.SYM:
            name = self.item()
            self.refs.append(name)
            return name
        if kind == self.LIST:
            attrs = self.attributes() if has_attr else {}
            tag = self.item() if has_tag else None
            value = self.item()
            return {'tag': tag, 'value': value, 'next': self.item(), 'attributes': attrs}
        if kind == self.CHAR:
            n = self.int()
            return None if n == -1 else self.take(n).decode('utf-8')
        if kind in (self.INT, self.REAL, self.STR, self.VEC):
            n = self.int()
            if kind == self.INT:
                values = list(struct.unpack('>%di' % n, self.take(4 * n)))
            elif kind == self.REAL:
                values = list(struct.unpack('>%dd' % n, self.take(8 * n)))
            else:
                values = [self.item() for _ in range(n)]
            return {'values': values, 'attributes': self.attributes() if has_attr else {}}
        raise ValueError('R object of kind %d is not read here' % kind)


def number(v):
    """A value as the shipped files write it: whole numbers without a point."""
    return str(int(v)) if v == int(v) else repr(v)


def write_csv(name, source, header, rows):
    path = os.path.join(ROOT, 'data', name + '.csv')
    with open(path, 'w', newline='\n') as out:
        out.write('# source: ' + source + '\n')
        out.write(','.join(header) + '\n')
        for row in rows:
            out.write(','.join(number(v) for v in row) + '\n')
    print('%s: %d rows, %d features' % (path, len(rows), len(header) - 1))


def shuttle(unpacked):
    with lzma.open(os.path.join(unpacked, SHUTTLE)) as f:
        reader = RReader(f.read())
    reader.header()
    saved = reader.item()  # the pairlist of saved objects: one, the frame
    if saved['tag'] != 'Shuttle':
        raise ValueError('Shuttle.rda holds %r' % saved['tag'])
    frame = saved['value']
    names = frame['attributes']['names']['values']
    columns = frame['values']
    features = [c['values'] for c in columns[:-1]]
    factor = columns[-1]
    levels = factor['attributes']['levels']['values']
    codes = factor['values']  # 1-based level numbers
    if names[-1] != 'Class' or any(c < 1 or c > len(levels) for c in codes):
        raise ValueError('Shuttle.rda: unexpected last column')
    rows = [[f[r] for f in features] + [codes[r]] for r in range(len(codes))]
    classes = ', '.join('%d %s' % (k + 1, level.replace('.', '_').lower()) for k, level in enumerate(levels))
    source = ('Statlog (Shuttle) data (Jason Catlett, NASA; UCI Machine Learning Repository), as shipped '
              "by Debian's r-cran-mlbench (Shuttle.rda); classes " + classes)
    write_csv('shuttle', source, [n.lower() for n in names[:-1]] + ['class'], rows)


def digits(unpacked):
    rows = []
    with gzip.open(os.path.join(unpacked, DIGITS), 'rt') as f:
        for line in f:
            values = [float(v) for v in line.split(',')]
            rows.append(values[:-1] + [values[-1] + 1])
    names = ', '.join('%d digit_%d' % (d + 1, d) for d in range(10))
    source = ('Optical Recognition of Handwritten Digits data, test set (E. Alpaydin and C. Kaynak, 1998; '
              "UCI Machine Learning Repository), as shipped by Debian's python3-sklearn (digits.csv.gz); "
              '8 x 8 pixel counts 0 to 16, row by row; classes ' + names)
    header = ['pixel_%d_%d' % (r, c) for r in range(8) for c in range(8)] + ['class']
    write_csv('digits', source, header, rows)


def main():
    if len(sys.argv) > 1:
        unpacked = sys.argv[1]
        shuttle(unpacked)
        digits(unpacked)
        return
    with tempfile.TemporaryDirectory() as work:
        subprocess.run(['apt-get', 'download', 'r-cran-mlbench', 'python3-sklearn'], cwd=work, check=True)
        unpacked = os.path.join(work, 'unpacked')
        for deb in sorted(os.listdir(work)):
            if deb.endswith('.deb'):
                subprocess.run(['dpkg', '-x', os.path.join(work, deb), unpacked], check=True)
        shuttle(unpacked)
        digits(unpacked)


if __name__ == '__main__':
    main()
