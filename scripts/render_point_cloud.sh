#!/usr/bin/env bash
# Renders a point cloud that korrdepth wrote (--ply) as a picture seen from above and
# to the left of the camera: python3-meshio reads the PLY, gnuplot draws every
# second point in its own colour.
#
#   scripts/render_point_cloud.sh cloud.ply picture.png [title]
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 CLOUD.ply PICTURE.png [TITLE]" >&2; exit 2; }
points=$(mktemp)
trap 'rm -f "$points"' EXIT
/usr/bin/python3 - "$1" "$points" <<'PY'
import sys
import meshio
cloud = meshio.read(sys.argv[1])
colour = [cloud.point_data[c].astype("uint8").astype(int) for c in ("red", "green", "blue")]
with open(sys.argv[2], "w") as out:
    for i in range(0, len(cloud.points), 2):
        x, y, z = cloud.points[i]
        out.write(f"{x:.4f} {z:.4f} {-y:.4f} {colour[0][i] << 16 | colour[1][i] << 8 | colour[2][i]}\n")
PY
gnuplot <<GP
set terminal pngcairo size 1000,750
set output "$2"
set title "${3:-}"
set xlabel "x (m)"
set ylabel "z (m)"
set zlabel "-y (m)" rotate
set view 62, 32, 1, 1
set view equal xyz
set xyplane 0
unset key
splot "$points" using 1:2:3:4 with dots lc rgb variable
GP
