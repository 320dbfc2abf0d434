#!/usr/bin/env bash
# Writes the end-to-end samples of every format family into the folders
# beside this script (ImageMagick 6, libtiff-tools, netpbm, Ghostscript,
# /usr/bin/python3 with Pillow and astropy, Inkscape, librsvg2-bin,
# libjxr-tools, djvulibre-bin, libjxl-tools, OpenImageIO's oiiotool, the
# OpenEXR tools, DCMTK, libvips-tools and exiftool).  Run it from anywhere; it
# replaces the files.
set -euo pipefail
cd "$(dirname "$0")"
rm -rf tiff jpeg web raster texture animation layered document boxed vector codec raw film science
mkdir -p tiff jpeg web raster texture animation layered document boxed vector codec raw film science
py=/usr/bin/python3

# --- tiff: pages, CMYK, 16-bit grey in centimetres, Group 4, BigTIFF, tiles, orientation
convert -size 24x16 xc:red -size 12x8 xc:blue -size 9x14 gradient: -depth 8 -compress lzw tiff/pages.tif
convert -size 20x15 gradient:red-blue -colorspace CMYK -depth 8 -density 300 -units PixelsPerInch tiff/cmyk_300dpi.tif
convert -size 18x10 gradient: -depth 16 -colorspace Gray -density 40 -units PixelsPerCentimeter tiff/gray16_cm.tif
convert -size 33x17 pattern:checkerboard -monochrome -compress group4 -density 200 tiff/bilevel_g4.tif
convert -size 14x9 xc:orange -depth 8 TIFF64:tiff/bigtiff.tif
convert -size 40x36 gradient:green-yellow -depth 8 -compress none tiff/strips.tif
tiffcp -t -w 16 -l 16 tiff/strips.tif tiff/tiled.tif && rm tiff/strips.tif
convert -size 21x13 gradient:red-blue -depth 8 tiff/oriented.tif && tiffset -s 274 6 tiff/oriented.tif
convert -size 16x16 gradient:white-black -alpha set -channel A -evaluate set 40% +channel -depth 8 -compress zip tiff/rgba_zip.tif

vips black tiff/src.v 300 200 --bands 3 && vips tiffsave tiff/src.v tiff/pyramid.tif --pyramid --tile --tile-width 32 --tile-height 32 --compression jpeg --Q 30
vips tiffsave tiff/src.v tiff/pyramid_subifd.tif --pyramid --subifd --tile --tile-width 32 --tile-height 32 --compression jpeg --Q 30 && rm tiff/src.v

# --- jpeg: JFIF densities, progressive CMYK, grey, EXIF with orientation and a thumbnail, MPO
convert -size 32x24 gradient:red-blue -quality 80 -density 96 -units PixelsPerInch jpeg/jfif_96dpi.jpg
convert -size 30x20 gradient:red-blue -colorspace CMYK -interlace Plane jpeg/cmyk_progressive.jpg
convert -size 27x19 gradient: -colorspace Gray -density 50 -units PixelsPerCentimeter jpeg/gray_dpcm.jpg
convert -size 17x11 gradient:cyan-magenta -density 1x1 -units Undefined jpeg/aspect_only.jpg
$py make_special.py exif-jpeg jpeg/exif_thumbnail.jpg
$py -c "
from PIL import Image
frames = [Image.new('RGB', (20, 14), c) for c in ('red', 'green')]
frames[0].save('jpeg/stereo.mpo', save_all=True, append_images=frames[1:])
frames = [Image.new('RGB', (22, 16), c) for c in ('blue', 'yellow')]
frames[0].save('jpeg/broken_index.mpo', save_all=True, append_images=frames[1:])
mpo = bytearray(open('jpeg/broken_index.mpo', 'rb').read())
at = mpo.index(b'MPF\\0') + 4
mpo[at:at + 2] = b'XX'  # the MP header's byte order mark: the index cannot be read
open('jpeg/broken_index.mpo', 'wb').write(mpo)"

# --- web: PNG (alpha, palette, 16-bit grey, density, APNG), GIF (animation, 87a), MNG, JNG, WebP
convert -size 19x13 gradient:red-blue -alpha set -channel A -evaluate set 60% +channel web/rgba.png
convert -size 25x9 gradient:red-blue -colors 8 -transparent red PNG8:web/palette_trns.png
convert -size 11x7 gradient: -depth 16 -colorspace Gray -density 72 -units PixelsPerInch web/gray16.png
convert -size 23x15 gradient:yellow-blue -density 59 -units PixelsPerCentimeter web/dpcm.png
$py -c "
from PIL import Image
frames = [Image.new('RGBA', (16, 10), c) for c in ('red', 'green', 'blue')]
frames[0].save('web/anim.png', save_all=True, append_images=frames[1:], duration=100)"
convert -delay 10 -size 15x11 xc:red -size 15x11 xc:green -size 15x11 xc:blue -loop 0 web/anim.gif
convert -delay 10 -size 18x12 xc:red -size 18x12 xc:green web/anim.mng
convert -size 22x16 gradient:red-blue -density 72 -units PixelsPerInch web/rgb.jng
convert -size 21x13 gradient:red-blue -alpha set -channel A -evaluate set 40% +channel web/rgba.jng
convert -size 13x8 gradient:red-blue -colors 16 GIF87:web/still87.gif
convert -size 26x18 gradient:red-blue -quality 70 web/lossy.webp
convert -size 14x10 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel -define webp:lossless=true web/lossless_alpha.webp
$py -c "
from PIL import Image
frames = [Image.new('RGB', (12, 9), c) for c in ('red', 'green', 'blue', 'white')]
frames[0].save('web/anim.webp', save_all=True, append_images=frames[1:], duration=80)"

# --- raster: BMP, ICO/CUR/ICNS, TGA, PCX/DCX, SGI, Netpbm, QOI, Sun raster, XBM, XPM, XWD, WBMP, CALS,
#     Photo CD, headerless DIB
convert -size 22x14 gradient:red-blue -density 300 -units PixelsPerInch BMP3:raster/rgb24_300dpi.bmp
convert -size 20x12 gradient:red-blue -colors 16 -compress RLE BMP3:raster/rle8.bmp
convert -size 10x10 gradient:red-blue -alpha set -channel A -evaluate set 30% +channel BMP:raster/argb32.bmp
convert -size 12x6 gradient:red-blue BMP2:raster/os2.bmp
convert -size 64x64 gradient:red-blue -define icon:auto-resize=48,32,16 raster/sizes.ico
$py -c "
from PIL import Image
Image.linear_gradient('L').resize((64, 64)).convert('RGBA').save('raster/icons.icns', sizes=[(16, 16), (32, 32), (64, 64)])"
convert -size 18x12 gradient:red-blue -depth 8 -type TrueColor -compress RLE TGA:raster/rgb_rle.tga
convert -size 16x9 gradient: -depth 8 -type Grayscale TGA:raster/gray.tga
convert -size 31x17 gradient:red-blue -depth 8 -density 150 -units PixelsPerInch PCX:raster/rgb_150dpi.pcx
pgmramp -lr 19 7 | pgmtoppm white | ppmquant 16 2>/dev/null | ppmtopcx > raster/pal.pcx
convert -size 10x10 xc:red -size 14x6 xc:blue DCX:raster/pages.dcx
convert -size 21x11 gradient:red-blue -depth 8 SGI:raster/rgb.sgi
convert -size 13x7 gradient: -depth 16 -type Grayscale SGI:raster/gray16.sgi
pbmmake -g 17 5 > raster/raw.pbm
pbmmake -plain -b 6 4 > raster/plain.pbm
pgmramp -tb 9 12 > raster/raw.pgm
ppmmake green 7 3 | pnmtoplainpnm > raster/plain.ppm
convert -size 8x5 gradient:red-blue -depth 16 PPM:raster/raw16.ppm
convert -size 9x6 gradient:red-blue -alpha set -depth 8 PAM:raster/rgba.pam
convert -size 10x4 gradient:red-blue PFM:raster/rgb.pfm
$py make_special.py qoi raster/rgb.qoi
convert -size 25x14 gradient:red-blue -depth 8 SUN:raster/rgb.ras
pgmramp -lr 11 6 | pnmtorast -rle > raster/rle.ras
convert -size 23x9 pattern:checkerboard XBM:raster/check.xbm
convert -size 15x8 gradient:red-blue -colors 6 -alpha set -channel A -fx "i<4?0:1" +channel XPM:raster/transparent.xpm
convert -size 19x12 gradient:red-blue XWD:raster/rgb.xwd
convert -size 30x12 pattern:checkerboard WBMP:raster/check.wbmp
convert -size 64x48 pattern:checkerboard -monochrome -density 200 CALS:raster/check.cal
convert -size 40x30 gradient:red-blue PCD:raster/base.pcd
convert -size 13x8 gradient:red-blue DIB:raster/rgb24.dib
$py -c "
from PIL import Image
Image.linear_gradient('L').resize((14, 9)).convert('P').save('raster/pal8.dib', format='DIB', dpi=(120, 120))"

# --- texture: DDS, KTX 1 and 2, BLP
convert -size 16x8 gradient:red-blue -define dds:compression=dxt1 -define dds:mipmaps=0 DDS:texture/dxt1.dds
convert -size 32x16 gradient:red-blue -alpha set -define dds:compression=dxt5 -define dds:mipmaps=2 DDS:texture/dxt5_mips.dds
$py ../formats/texture/make_ktx.py texture
$py -c "
from PIL import Image
Image.linear_gradient('L').resize((24, 12)).convert('P').save('texture/pal.blp', blp_version='BLP2')"

# --- animation: FLI, FLC, an FLC with a damaged frame
$py ../formats/animation/make_flic.py animation

# --- layered: PSD (flat and with layers), PSB, XCF
convert -size 24x18 gradient:red-blue -density 72 -units PixelsPerInch PSD:layered/flat.psd
convert -size 20x14 xc:white \( -size 8x6 xc:red \) \( -size 5x9 xc:blue \) layered/layers.psd
convert -size 16x11 gradient:red-blue -colorspace CMYK -density 200 -units PixelsPerInch PSB:layered/cmyk.psb
$py make_special.py xcf layered/two_layers.xcf

# --- document: EPS, PostScript, PDF, PICT, DjVu (a page and a bundled document)
convert -size 20x10 xc:red -density 144 eps2:document/red_144dpi.eps
printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 130 91\n%%%%HiResBoundingBox: 0 0 129.6 90.4\n%%%%Creator: (make_samples.sh)\n%%%%EndComments\nnewpath 10 10 moveto 100 60 rlineto stroke\n%%%%EOF\n' > document/drawing.eps
printf '%%!PS-Adobe-3.0\n%%%%BoundingBox: 0 0 200 100\n%%%%Pages: 2\n%%%%EndComments\n%%%%Page: 1 1\nshowpage\n%%%%Page: 2 2\nshowpage\n%%%%EOF\n' > document/two_pages.ps
gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile=document/three_pages.pdf -c \
  "<< /PageSize [300 200] >> setpagedevice showpage showpage showpage"
$py -c "
from PIL import Image
Image.new('RGB', (40, 20), 'blue').save('document/pillow_100dpi.pdf', resolution=100)"
$py make_special.py rotated-pdf document/rotated.pdf
ppmmake blue 23 11 | ppmtopict > document/rgb.pict 2>/dev/null
convert -size 48x32 gradient:red-blue /tmp/imr_djvu.ppm && c44 -dpi 200 /tmp/imr_djvu.ppm document/colour.djvu
convert -size 40x24 pattern:checkerboard -monochrome /tmp/imr_djvu.pbm && cjb2 -dpi 300 /tmp/imr_djvu.pbm /tmp/imr_bw.djvu
djvm -c document/two_pages.djvu document/colour.djvu /tmp/imr_bw.djvu
convert -size 17x9 gradient:red-blue -colors 8 PICT:document/palette.pict

# --- boxed: JPEG 2000 (JP2, J2K), HEIF, AVIF, JPEG XL
convert -size 24x20 gradient:red-blue JP2:boxed/rgb.jp2
convert -size 15x9 gradient: -colorspace Gray J2K:boxed/gray.j2k
convert -size 22x12 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel JP2:boxed/rgba.jp2
convert -size 32x24 gradient:red-blue boxed/still.heic
convert -size 30x16 gradient:red-blue boxed/still.avif
$py make_special.py rotated-heif boxed/still.heic boxed/rotated.heic
convert -size 26x14 gradient:red-blue /tmp/imr_jxl.png && cjxl -q 90 /tmp/imr_jxl.png boxed/lossy.jxl 2>/dev/null
convert -size 20x10 gradient:red-blue -quality 90 /tmp/imr_jxl.jpg && cjxl /tmp/imr_jxl.jpg boxed/from_jpeg.jxl 2>/dev/null

# --- vector: SVG (millimetres, pixels, gzip), WMF and EMF from Inkscape
printf '<svg xmlns="http://www.w3.org/2000/svg" width="40mm" height="25mm" viewBox="0 0 40 25"><rect width="30" height="20" fill="red"/></svg>\n' > /tmp/imr_mm.svg
inkscape /tmp/imr_mm.svg --export-plain-svg --export-filename=vector/inkscape_mm.svg 2>/dev/null
inkscape /tmp/imr_mm.svg --export-filename=vector/inkscape.wmf 2>/dev/null
inkscape /tmp/imr_mm.svg --export-filename=vector/inkscape.emf 2>/dev/null
gzip -c vector/inkscape_mm.svg > vector/named.svgz
printf '<svg xmlns="http://www.w3.org/2000/svg" width="90" height="60"><circle cx="45" cy="30" r="20" fill="blue"/></svg>\n' > /tmp/imr_px.svg
rsvg-convert -f svg /tmp/imr_px.svg -o vector/cairo_px.svg

# --- codec: JPEG XR
convert -size 28x18 gradient:red-blue -density 150 -units PixelsPerInch BMP3:/tmp/imr_jxr.bmp && JxrEncApp -i /tmp/imr_jxr.bmp -o codec/rgb.jxr >/dev/null
convert -size 16x12 gradient: -colorspace Gray -depth 8 /tmp/imr_jxr.tif && JxrEncApp -i /tmp/imr_jxr.tif -o codec/gray.jxr >/dev/null

# --- raw: the corpus's camera raw files (placeholder previews) given real JPEG previews by exiftool
corpus=../corpus/exiftool
convert -size 160x120 gradient:green-yellow -quality 40 raw/thumb.jpg
convert -size 400x300 gradient:red-blue -quality 40 raw/preview.jpg
install -m 644 $corpus/Nikon.nef tiff/nikon_preview.nef && exiftool -q -m -overwrite_original "-PreviewImage<=raw/preview.jpg" tiff/nikon_preview.nef
install -m 644 $corpus/Panasonic.rw2 tiff/panasonic_preview.rw2 && exiftool -q -overwrite_original "-JpgFromRaw<=raw/preview.jpg" tiff/panasonic_preview.rw2
install -m 644 $corpus/CanonRaw.crw raw/canon_thumbnail.crw && exiftool -q -overwrite_original "-ThumbnailImage<=raw/thumb.jpg" raw/canon_thumbnail.crw
install -m 644 $corpus/Minolta.mrw raw/minolta_preview.mrw && exiftool -q -overwrite_original "-PreviewImage<=raw/preview.jpg" raw/minolta_preview.mrw
install -m 644 $corpus/FujiFilm.raf raw/fuji_thumbnail.raf && exiftool -q -overwrite_original "-ThumbnailImage<=raw/thumb.jpg" raw/fuji_thumbnail.raf
install -m 644 $corpus/SigmaDP2.x3f raw/sigma_thumbnail.x3f && exiftool -q -overwrite_original "-ThumbnailImage<=raw/thumb.jpg" raw/sigma_thumbnail.x3f
rm raw/thumb.jpg raw/preview.jpg

# --- film: DPX (both byte orders), Cineon, OpenEXR (tiles, data window, parts), Radiance HDR
convert -size 20x10 gradient:red-blue -depth 10 DPX:film/rgb10.dpx
oiiotool --create 12x8 4 -d uint8 -o film/rgba_lsb.dpx
convert -size 18x9 gradient:red-blue -depth 10 CIN:film/rgb.cin
convert -size 20x10 gradient:red-blue EXR:film/rgb_half.exr
oiiotool --create 40x30 3 -d half --tile 16 16 --compression zip -o film/tiled_zip.exr
oiiotool --create 30x20 4 -d half --fullsize 40x30+0+0 --origin +5+4 -o film/windows.exr
oiiotool --create 20x10 3 -d float --compression piz -o film/part2.exr
exrmultipart -combine -i film/rgb_half.exr film/part2.exr -o film/multipart.exr >/dev/null && rm film/part2.exr
convert -size 20x10 gradient:red-blue HDR:film/rgb_rle.hdr
oiiotool --create 7x5 3 -d float -o film/flat.hdr

# --- science: FITS, DICOM, VICAR, VIFF, VIPS, MIFF, MPC, PGX
convert -size 20x10 gradient: FITS:science/gray16.fits
$py -c "
import numpy as np
from astropy.io import fits
fits.PrimaryHDU(np.zeros((3, 10, 20), dtype=np.float32)).writeto('science/cube.fits')
fits.HDUList([fits.PrimaryHDU(), fits.ImageHDU(np.zeros((7, 9), dtype=np.uint8)),
              fits.ImageHDU(np.zeros((5, 6), dtype=np.float64))]).writeto('science/extensions.fits')"
convert -size 20x10 gradient:red-blue -quality 90 science/dcm.jpg
img2dcm science/dcm.jpg science/jpeg.dcm && dcmodify -nb -i "(0028,0030)=0.5\\0.25" science/jpeg.dcm && rm science/dcm.jpg
convert -size 16x12 gradient:red-blue BMP3:science/dcm.bmp
img2dcm -i BMP science/dcm.bmp science/rgb.dcm && dcmconv +ti science/rgb.dcm science/rgb_implicit.dcm && rm science/dcm.bmp
convert -size 20x10 gradient: VICAR:science/gray.vicar
convert -size 20x10 gradient:red-blue VIFF:science/rgb.viff
convert -size 8x6 xc:red -size 5x4 xc:blue VIFF:science/two.viff
convert -size 20x10 gradient:red-blue VIPS:science/rgb_msb.vips
convert -size 24x16 gradient:red-blue -density 300 -units PixelsPerInch science/vips.png
vips copy science/vips.png science/native_300dpi.vips && rm science/vips.png
convert -size 20x10 gradient:red-blue -density 40 -units PixelsPerCentimeter MIFF:science/rgb_cm.miff
convert -size 8x6 xc:red \( -size 5x4 xc:blue \) \( -size 7x3 gradient: -colorspace Gray \) MIFF:science/three.miff
convert -size 9x5 gradient:red-blue -colors 4 \( -size 3x3 xc:green -compress Zip \) MIFF:science/palette_zip.miff
convert -size 9x5 gradient:red-blue -compress RLE \( -size 4x4 xc:red \) MIFF:science/rle_two.miff
convert -size 20x10 gradient:red-blue MPC:science/rgb.mpc && rm science/rgb.cache
convert -size 20x10 gradient: PGX:science/gray16.pgx
