#!/bin/sh
# Draws the program's pictures with ImageMagick: the program icon, the type
# icons, the two thumbnail frames and the splash images.  The results are
# committed under data/icons and data/lib/locale; run this again after
# changing a picture or adding a type:
#   data/art/make-art.sh            (from the source tree's top folder)
set -eu

top=$(cd "$(dirname "$0")/../.." && pwd)
icons=$top/data/icons
locale=$top/data/lib/locale
mkdir -p "$icons" "$locale/en" "$locale/de"

font=DejaVu-Sans-Bold
font_plain=DejaVu-Sans
# -strip keeps timestamps out, so that a rerun gives identical files.
png_opts="-strip -define png:compression-level=9 -define png:exclude-chunks=date,time"

# One type icon: a sheet of paper with a folded corner, a category picture
# in its upper half and the type name on a coloured label.
# type_icon NAME LABEL-COLOUR GLYPH
type_icon() {
  name=$1 colour=$2 glyph=$3
  len=$(printf %s "$name" | wc -c)
  if [ "$len" -le 3 ]; then size=14
  elif [ "$len" -le 4 ]; then size=12
  elif [ "$len" -le 5 ]; then size=10
  elif [ "$len" -le 7 ]; then size=8.5
  else size=7; fi
  case $glyph in
    photo) g="-fill #9fd0f5 -stroke none -draw 'rectangle 17,11 47,35'
              -fill #f7c948 -draw 'circle 41,17 44,17'
              -fill #4caf50 -draw 'polygon 17,35 27,21 35,30 39,26 47,35'
              -fill none -stroke #41729a -strokewidth 1 -draw 'rectangle 17,11 47,35'" ;;
    raw) g="-fill #37474f -stroke none -draw 'roundrectangle 15,16 49,36 3,3'
            -draw 'rectangle 22,12 32,16'
            -fill #cfd8dc -draw 'circle 32,26 32,18'
            -fill #263238 -draw 'circle 32,26 32,21'
            -fill #80cbc4 -draw 'circle 30,24 30,23'
            -fill #ffab40 -draw 'rectangle 42,18 46,20'" ;;
    audio) g="-fill $colour -stroke none
              -draw 'ellipse 22,32 5,4 0,360' -draw 'ellipse 40,29 5,4 0,360'
              -draw 'rectangle 25,13 28,32' -draw 'rectangle 43,10 46,29'
              -draw 'polygon 25,13 46,10 46,15 25,18'" ;;
    video) g="-fill #37474f -stroke none -draw 'rectangle 15,12 49,36'
              -fill white
              -draw 'rectangle 17,14 19,16' -draw 'rectangle 23,14 25,16' -draw 'rectangle 29,14 31,16'
              -draw 'rectangle 35,14 37,16' -draw 'rectangle 41,14 43,16' -draw 'rectangle 46,14 48,16'
              -draw 'rectangle 17,32 19,34' -draw 'rectangle 23,32 25,34' -draw 'rectangle 29,32 31,34'
              -draw 'rectangle 35,32 37,34' -draw 'rectangle 41,32 43,34' -draw 'rectangle 46,32 48,34'
              -fill $colour -draw 'polygon 28,19 28,29 37,24'" ;;
    archive) g="-fill $colour -stroke none -draw 'rectangle 29,3 35,34'
                -fill #e0c097
                -draw 'rectangle 30,5 32,7' -draw 'rectangle 32,9 34,11' -draw 'rectangle 30,13 32,15'
                -draw 'rectangle 32,17 34,19' -draw 'rectangle 30,21 32,23'
                -fill #8d6e63 -draw 'roundrectangle 27,25 37,36 2,2'
                -fill #e0c097 -draw 'rectangle 30,28 34,33'" ;;
    document) g="-stroke #90a4ae -strokewidth 2
                 -draw 'line 17,13 40,13' -draw 'line 17,18 47,18' -draw 'line 17,23 47,23'
                 -draw 'line 17,28 47,28' -draw 'line 17,33 36,33'" ;;
    web) g="-fill none -stroke $colour -strokewidth 2 -draw 'circle 32,24 32,12'
            -strokewidth 1.5 -draw 'ellipse 32,24 5,12 0,360'
            -draw 'line 20,24 44,24' -draw 'line 22,18 42,18' -draw 'line 22,30 42,30'" ;;
    disk) g="-fill #546e7a -stroke none -draw 'polygon 20,10 40,10 46,16 46,37 20,37'
             -fill #ffd54f
             -draw 'rectangle 23,12 25,17' -draw 'rectangle 28,12 30,17'
             -draw 'rectangle 33,12 35,17' -draw 'rectangle 38,12 40,17'
             -fill #eceff1 -draw 'rectangle 23,22 43,33'" ;;
    unknown) g="-fill #90a4ae -stroke none -font $font -pointsize 34
                -gravity north -annotate +0+14 '?' -gravity northwest" ;;
  esac
  # The icon of unknown types carries no name: it stands for every type.
  label=
  if [ "$name" != default ]; then
    label="-fill $colour -stroke none -draw \"roundrectangle 5,41 59,57 3,3\"
      -fill white -font $font -pointsize $size -gravity center -annotate +0+17 '$name'"
  fi
  label=$(printf %s "$label" | tr '\n' ' ' | sed 's/#/\\#/g')
  g=$(printf %s "$g" | tr '\n' ' ' | sed 's/#/\\#/g')
  eval convert -size 64x64 xc:none \
    -fill "'#00000022'" -stroke none -draw "\"path 'M 12,4 L 44,4 L 57,17 L 57,63 L 12,63 Z'\"" \
    -fill white -stroke "'#78909c'" -strokewidth 1.2 \
    -draw "\"path 'M 10.5,2.5 L 42.5,2.5 L 55.5,15.5 L 55.5,61.5 L 10.5,61.5 Z'\"" \
    -fill "'#cfd8dc'" -draw "\"path 'M 42.5,2.5 L 42.5,15.5 L 55.5,15.5 Z'\"" \
    "$g" -gravity northwest \
    $label \
    $png_opts "$icons/type-$name.png"
}

# Colours and pictures of the type groups.
photo='#1e88e5' raw='#00897b' audio='#ef6c00' video='#8e24aa'
archive='#6d4c41' document='#2e7d32' web='#0277bd' disk='#455a64' other='#757575'

for t in jpeg jpg png gif bmp tiff tif wmf ani; do type_icon $t $photo photo; done
for t in crw cr2 nef mrw mos dcr dng kdc k25 pef arw sr2 srf orf raf rw2 x3f; do
  type_icon $t $raw raw
done
for t in mp3 wav wma rmi; do type_icon $t $audio audio; done
for t in avi mov mp4 mpeg mpg m1v m2v wmv asf riff; do type_icon $t $video video; done
for t in zip rar arj lzh; do type_icon $t $archive archive; done
for t in ole doc xls ppt fla pub vsd mpp vsmacros rpt suo msi dbx text txt; do
  type_icon $t $document document
done
for t in html htm xml; do type_icon $t $web web; done
type_icon img $disk disk
# Formats of today's phones and cameras, documents and free audio.
for t in heic heif hif avif webp; do type_icon $t $photo photo; done
type_icon cr3 $raw raw
for t in m4a m4b mka ogg oga opus flac; do type_icon $t $audio audio; done
for t in 3gp 3g2 mkv webm ogv crm; do type_icon $t $video video; done
type_icon pdf $document document
type_icon default $other unknown

# The program icon: a memory card with a green arrow that brings a file back.
card_icon() {
  card=$1 px=$2
  scale=$((px / 64))
  # The arrow's arc as short lines: this ImageMagick closes stroked paths.
  arc=$(awk 'BEGIN { for (a = 200; a <= 456; a += 8) { r = a * 3.14159265 / 180;
    x = 46 + 9 * cos(r); y = 47 + 9 * sin(r);
    if (a > 200) printf "line %.2f,%.2f %.2f,%.2f ", px, py, x, y; px = x; py = y } }')
  convert -size ${px}x${px} xc:none -affine $scale,0,0,$scale,0,0 \
    -fill '#00000030' -stroke none -draw "polygon 10,6 42,6 52,16 52,63 10,63" \
    -fill '#1f4e8c' -stroke '#0d2b52' -strokewidth 1.5 \
    -draw "polygon 7.5,2.5 39.5,2.5 49.5,12.5 49.5,60.5 7.5,60.5" \
    -fill '#ffd54f' -stroke none \
    -draw "rectangle 12,6 15,15" -draw "rectangle 18,6 21,15" -draw "rectangle 24,6 27,15" \
    -draw "rectangle 30,6 33,15" -draw "rectangle 36,8 39,15" \
    -fill '#9fd0f5' -stroke '#e3f2fd' -strokewidth 2 -draw "rectangle 12,20 44,42" \
    -fill '#f7c948' -stroke none -draw "circle 37,26 40,26" \
    -fill '#4caf50' -draw "polygon 13,41 22,29 30,37 34,33 43,41" \
    -fill white -stroke '#cfd8dc' -strokewidth 1 -draw "circle 46,47 46,32.5" \
    -fill '#0000' -stroke '#2e7d32' -strokewidth 4 -draw "stroke-linecap round $arc" \
    -fill '#2e7d32' -stroke none -draw "polygon 39,55.6 46.6,50.4 46.2,61.4" \
    $png_opts "$card"
}
card_icon "$icons/mzk.png" 64
card_icon "$icons/mzk-128.png" 128

# Thumbnail frames, 120 x 90 with the picture area at 12,9 of 96 x 72: the
# proportions the frame code assumes without configured area keys.  The
# picture area stays transparent so that small pictures sit on the view's
# own background.
frame() {
  out=$1 edge=$2 face=$3 shade=$4
  convert -size 120x90 xc:none \
    -fill '#00000028' -stroke none -draw "roundrectangle 3,3 119,89 8,8" \
    -fill "$face" -stroke "$edge" -strokewidth 1 -draw "roundrectangle 1.5,1.5 116.5,86.5 8,8" \
    -fill "$shade" -stroke none -draw "roundrectangle 9,6 110,83 3,3" \
    -alpha set -region 96x72+12+9 -alpha transparent +region \
    $png_opts "$out"
}
frame "$icons/PixbufFrame.png" '#b0bec5' '#f5f7f8' '#dfe5e8'
frame "$icons/PixbufFrameSelected.png" '#1565c0' '#64a8f0' '#1e88e5'

# Splash images, one per language: the card, the name and one line of text.
splash() {
  out=$1 line=$2 note=$3
  card_icon /tmp/mzk-splash-card.$$.png 128
  convert -size 460x260 gradient:'#1f4e8c'-'#0d2b52' \
    /tmp/mzk-splash-card.$$.png -geometry +32+42 -composite \
    -fill white -font $font -pointsize 60 -gravity northwest -annotate +186+40 'mzk' \
    -fill '#bbdefb' -font $font_plain -pointsize 16 -annotate +188+118 "$line" \
    -fill '#90caf9' -pointsize 12 -gravity south -annotate +0+22 "$note" \
    -fill none -stroke '#64b5f6' -strokewidth 2 -draw "rectangle 1,1 458,258" \
    $png_opts "$out"
  rm -f /tmp/mzk-splash-card.$$.png
}
splash "$locale/en/splash.png" "$(printf 'Recovers photos, videos and\ndocuments from memory cards')" \
  "The medium is only read, never written."
splash "$locale/de/splash.png" "$(printf 'Rettet Fotos, Videos und\nDokumente von Speicherkarten')" \
  "Der Datenträger wird nur gelesen, nie beschrieben."
