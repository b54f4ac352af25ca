#!/usr/bin/env python3
"""Writes the PNG files beside this script: images that decoders disagree on
(bad CRCs, data after the image, palette indices beyond the palette, gamma
and colour-profile chunks, every alpha value).  Run it from anywhere; it
needs nothing but Python 3."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, data, crc=None):
    body = kind + data
    if crc is None:
        crc = zlib.crc32(body) & 0xFFFFFFFF
    return struct.pack('>I', len(data)) + body + struct.pack('>I', crc)


def png(width, height, depth, colour, rows, before_idat=b'', after_idat=b'', iend=True, interlace=0):
    raw = b''.join(b'\0' + row for row in rows)
    out = b'\x89PNG\r\n\x1a\n'
    out += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, colour, 0, 0, interlace))
    out += before_idat
    out += chunk(b'IDAT', zlib.compress(raw, 9))
    out += after_idat
    if iend:
        out += chunk(b'IEND', b'')
    return out


def rgba_rows(width, height, pixel):
    return [b''.join(struct.pack('BBBB', *pixel(x, y)) for x in range(width)) for y in range(height)]


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def main():
    # Every alpha value with several colours: the rounding of premultiplication.
    alphas = rgba_rows(256, 4, lambda x, y: ((x * 7 + y * 50) % 256, 255 - x, (y * 85) % 256, x))
    write('alpha-ramp.png', png(256, 4, 8, 6, alphas))
    small = rgba_rows(8, 8, lambda x, y: (x * 32, y * 32, 128, 40 + x * 25))
    # An ancillary chunk whose CRC is wrong.
    write('text-bad-crc.png', png(8, 8, 8, 6, small, before_idat=chunk(b'tEXt', b'Comment\0skin', crc=1)))
    # No end chunk; bytes after the end chunk; a broken chunk after the image data.
    write('no-iend.png', png(8, 8, 8, 6, small, iend=False))
    write('trailing-bytes.png', png(8, 8, 8, 6, small) + b'\xff' * 100)
    write('broken-chunk-after-idat.png', png(8, 8, 8, 6, small, after_idat=b'\x7f\xff\xff\xffjunk'))
    # Gamma 1.0 and an sRGB colour profile that does not decompress: both ignored.
    grey = [bytes(range(y * 16, y * 16 + 16)) for y in range(16)]
    write('gamma-1.0.png', png(16, 16, 8, 0, grey, before_idat=chunk(b'gAMA', struct.pack('>I', 100000))))
    write('iccp-broken.png', png(16, 16, 8, 0, grey, before_idat=chunk(b'iCCP', b'sRGB\0\0not deflate data')))
    # RGB with a colour key, 16-bit grey with a key.
    rgb = [b''.join(struct.pack('BBB', x * 60, y * 60, 90) for x in range(4)) for y in range(4)]
    write('rgb-trns.png', png(4, 4, 8, 2, rgb, before_idat=chunk(b'tRNS', struct.pack('>HHH', 60, 60, 90))))
    grey16 = [b''.join(struct.pack('>H', (x + y * 4) * 4369) for x in range(4)) for y in range(4)]
    write('grey16-trns.png', png(4, 4, 16, 0, grey16, before_idat=chunk(b'tRNS', struct.pack('>H', 5 * 4369))))
    # Four palette entries, two with alpha.
    palette = chunk(b'PLTE', bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 200, 200, 200]))
    trns = chunk(b'tRNS', bytes([0, 128]))
    indexed = [bytes(((x + y) % 4) for x in range(8)) for y in range(2)]
    write('palette-short-trns.png', png(8, 2, 8, 3, indexed, before_idat=palette + trns))
    # 16-bit RGBA.
    rgba16 = [b''.join(struct.pack('>HHHH', x * 8000, y * 8000, 30000, 65535 - x * 8000) for x in range(8))
              for y in range(8)]
    write('rgba16.png', png(8, 8, 16, 6, rgba16))


if __name__ == '__main__':
    main()
