#!/usr/bin/python3
"""Writes the OpenRaster samples the way painting programs lay them out: a
stored "mimetype" first, stack.xml, the layers, mergedimage.png and
Thumbnails/thumbnail.png (PNG files from Pillow).

  /usr/bin/python3 make_ora.py
"""
import io
import zipfile

from PIL import Image


def png(size, mode, colour):
    out = io.BytesIO()
    Image.new(mode, size, colour).save(out, "PNG")
    return out.getvalue()


def ora(path, stack, merged, thumbnail, method):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "image/openraster", zipfile.ZIP_STORED)
        z.writestr("stack.xml", stack, zipfile.ZIP_DEFLATED)
        z.writestr("data/layer0.png", png((40, 30), "RGBA", (255, 0, 0, 128)), zipfile.ZIP_DEFLATED)
        z.writestr("data/layer1.png", png((10, 10), "RGBA", (0, 0, 255, 255)), zipfile.ZIP_DEFLATED)
        z.writestr("mergedimage.png", merged, method)
        z.writestr("Thumbnails/thumbnail.png", thumbnail, method)


STACK = """<?xml version='1.0' encoding='UTF-8'?>
<image version="0.0.5" w="40" h="30" xres="150" yres="150">
  <stack>
    <layer name="top" src="data/layer1.png" x="5" y="5"/>
    <layer name="bottom" src="data/layer0.png" x="0" y="0"/>
  </stack>
</image>
"""
ora("stored.ora", STACK, png((40, 30), "RGBA", (255, 0, 0, 128)), png((32, 24), "RGB", "red"), zipfile.ZIP_STORED)
ora("deflated.ora", STACK.replace(' xres="150" yres="150"', ""), png((40, 30), "RGBA", (255, 0, 0, 128)),
    png((32, 24), "RGB", "red"), zipfile.ZIP_DEFLATED)
