#!/usr/bin/env python3
# Copies a JPEG and gives the copy an Exif block holding only the
# orientation tag (274), right behind the start marker, as a camera writes
# it: tag_orientation.py IN OUT ORIENTATION
import struct
import sys

src, dst, orientation = sys.argv[1], sys.argv[2], int(sys.argv[3])
jpeg = open(src, 'rb').read()
tiff = b'MM\0*' + struct.pack('>IH', 8, 1) + struct.pack('>HHIHH', 274, 3, 1, orientation, 0) + struct.pack('>I', 0)
exif = b'Exif\0\0' + tiff
open(dst, 'wb').write(jpeg[:2] + b'\xff\xe1' + struct.pack('>H', len(exif) + 2) + exif + jpeg[2:])
