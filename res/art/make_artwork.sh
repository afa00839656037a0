#!/usr/bin/env bash
# Draws the client's skin: backgrounds and four-frame button strips (normal, hover, pressed,
# unused) at the sizes the windows expect. Reproducible: run it again after changing it and
# commit the PNGs it writes next to itself. Needs ImageMagick and fonts-wqy-microhei.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
im() { convert -define png:exclude-chunks=date,time "$@"; }

# Palette: gunmetal panels, a steel-blue accent, amber highlights.
dark='#14181f' panel='#1d232c' edge='#2c3542' accent='#2f7fc1' amber='#e8a23a'

# 135: main window, 800 x 600: title band with a bevelled accent line, page frame below.
im -size 800x600 gradient:"$panel"-"$dark" \
  -fill "$dark" -draw "rectangle 0,0 799,31" \
  -fill none -stroke "$accent" -strokewidth 2 -draw "line 0,31 799,31" \
  -stroke "$edge" -strokewidth 1 -draw "rectangle 0,32 799,599" \
  -stroke none -fill "$amber" -draw "polygon 10,8 26,8 30,16 26,24 10,24 14,16" \
  -font "$font" -pointsize 12 -fill '#9fb3c8' -annotate +200+21 'KIVO 穿越火线泽瓦助手' \
  -fill '#5d6b7c' -annotate +560+21 '游戏助手 · 插件 · 工具' \
  png24:135.png

# A 15 x 15 four-frame strip with a glyph drawn by ImageMagick primitives ($2).
strip15() {
  local out=$1 glyph=$2 frames=()
  local bg=("$panel" '#2a3644' '#10151b' "$edge") fg=('#b8c4d0' '#ffffff' "$amber" '#6b7785')
  for i in 0 1 2 3; do
    im -size 15x15 xc:"${bg[$i]}" -fill none -stroke "${fg[$i]}" -strokewidth 1.5 \
      -draw "$glyph" "/tmp/zeva-frame-$i.png"
    frames+=("/tmp/zeva-frame-$i.png")
  done
  im "${frames[@]}" +append +repage png24:"$out"
  rm -f "${frames[@]}"
}
strip15 138.png "line 3,10 11,10"                                  # minimise
strip15 139.png "path 'M 5,5 Q 7.5,2 10,5 Q 10,7 7.5,8 L 7.5,10 M 7.5,12 L 7.5,12.5'"  # help
strip15 140.png "line 4,4 11,11 line 11,4 4,11"                    # close
strip15 142.png "circle 7.5,7.5 7.5,4.5 line 7.5,1.5 7.5,3 line 7.5,12 7.5,13.5 line 1.5,7.5 3,7.5 line 12,7.5 13.5,7.5"  # settings

# Text button strips: $1 file, $2 frame size, $3 label, $4 with transparency.
textstrip() {
  local out=$1 size=$2 label=$3 frames=()
  local bg=("$accent" '#3d95dd' '#1f5e93' '#45505e') fg=('#ffffff' '#ffffff' '#dfe8f2' '#a0aab5')
  local w=${size%x*} h=${size#*x}
  for i in 0 1 2 3; do
    im -size "$size" xc:none -fill "${bg[$i]}" -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) 4,4" \
      -font "$font" -pointsize 12 -fill "${fg[$i]}" -gravity center -annotate +0+0 "$label" \
      "/tmp/zeva-frame-$i.png"
    frames+=("/tmp/zeva-frame-$i.png")
  done
  im "${frames[@]}" +append +repage png32:"$out"
  rm -f "${frames[@]}"
}
textstrip 143.png 62x21 '检查更新'
textstrip 148.png 61x21 '确定'
textstrip 149.png 61x21 '取消'
textstrip 150.png 50x23 '浏览'
# The update button is opaque: flatten it onto the title band.
im 143.png +repage -background "$dark" -flatten png24:143.png

# 145: the settings window's body is white, as its labels and group boxes are drawn on white
# boxes; a pale footer holds OK and Cancel. Square corners: the window around them is opaque.
lightpanel() {
  local out=$1 w=$2 h=$3 footer=$4
  im -size "${w}x${h}" xc:white \
    -fill '#eef1f5' -draw "rectangle 0,$footer $((w - 1)),$((h - 1))" \
    -fill none -stroke '#d5dbe3' -strokewidth 1 -draw "line 0,$footer $((w - 1)),$footer" \
    -stroke none -fill "$dark" -draw "rectangle 0,0 $((w - 1)),27" \
    -fill none -stroke "$accent" -strokewidth 2 -draw "line 0,28 $((w - 1)),28" \
    -stroke '#9aa6b4' -strokewidth 1 -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
    png32:"$out"
}
lightpanel 145.png 440 355 314
# 152 and 154: square corners too (an opaque window shows transparent corners as white); the
# about text is dark blue, so its face is light.
lightpanel 152.png 385 260 259
lightpanel 154.png 350 150 106

# 128: the application icon (a crosshair on the accent colour), 32 x 32.
im -size 32x32 xc:none -fill "$accent" -draw "roundrectangle 1,1 30,30 6,6" \
  -fill none -stroke white -strokewidth 2 -draw "circle 16,16 16,7" \
  -draw "line 16,3 16,11 line 16,21 16,29 line 3,16 11,16 line 21,16 29,16" \
  -fill "$amber" -stroke none -draw "circle 16,16 16,14" png32:icon.png
