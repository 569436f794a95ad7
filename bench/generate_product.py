#!/usr/bin/env python3
# The benchmarks' product: FILES files of about SIZE_MB MB in all, the same on every run (seeded).
#   generate_product.py FILES SIZE_MB    (in the work folder)
# product/ is the tree as installed; items/N.twi are the same files under their item numbers;
# manifest.txt is what the package's folder and file records say.
import math, os, random, sys
files, size_mb = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(2026)
# A few folders, some nested, as a product has them.
folders = ['bin', 'bin/plugins', 'data', 'data/maps', 'data/maps/extra', 'data/sounds', 'docs', 'docs/html',
           'docs/html/images', 'lib', 'lib/modules', 'locale', 'locale/de', 'locale/fr', 'samples', 'tools']
# Sizes spread log-uniformly over three decades, then scaled to the total.
raw = [math.exp(rng.uniform(math.log(2_000), math.log(2_000_000))) for _ in range(files)]
scale = size_mb * 1_000_000 / sum(raw)
sizes = [max(1, int(s * scale)) for s in raw]
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9))) for _ in range(5000)]
text_pool = ' '.join(rng.choice(words) for _ in range(600_000)).encode()  # ~3.5 MB to cut text from
os.makedirs('items')
with open('manifest.txt', 'w', newline='\r\n') as manifest:
    for d in folders:
        os.makedirs('product/' + d)
        manifest.write('D\t%s\n' % d.replace('/', '\\'))
    for n, size in enumerate(sizes, start=1):
        folder = rng.choice(folders)
        if n == files:
            path, data = 'bin/product.exe', rng.randbytes(size)
        elif n % 2:
            start = rng.randrange(0, len(text_pool) - size) if size < len(text_pool) else 0
            path, data = '%s/file%04d.txt' % (folder, n), (text_pool * (size // len(text_pool) + 1))[start:start + size]
        else:
            path, data = '%s/file%04d.bin' % (folder, n), rng.randbytes(size)
        with open('product/' + path, 'wb') as f:
            f.write(data)
        os.link('product/' + path, 'items/%d.twi' % n)
        manifest.write('F\t%d\t%s\n' % (n, path.replace('/', '\\')))
