#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Two games on one Xvfb display (DISPLAY, already running) race each other
# through tests/net_relay.py on the Straight track, held keys sent with
# xdotool; screenshots countdown.png, racing.png and result.png and both
# games' replays land in OUT_DIR. Usage: online_xvfb.sh BUILD_DIR OUT_DIR
HERE=$(cd "$(dirname "$0")" && pwd)
B=$(cd "$1" && pwd); cd "$2" || exit 2; rm -rf rec1 rec2; mkdir -p rec1 rec2
T=$HERE/data/replays/Straight.txt
export SDL_AUDIODRIVER=dummy
$B/chainball --host 47411 --track $T --record rec1 > g1.out 2>&1 & echo $! > g1.pid
python3 $HERE/net_relay.py --host-port 47411 --delay 50 --jitter 10 --loss 0.05 > relay.out & echo $! > relay.pid
sleep 1; RP=$(head -1 relay.out | awk '{print $2}')
sleep 0.5
$B/chainball --join 127.0.0.1:$RP --track $T --record rec2 > g2.out 2>&1 & echo $! > g2.pid
sleep 1.5
W=($(xdotool search --name Chainball)); xdotool windowmove ${W[0]} 0 0; xdotool windowmove ${W[1]} 420 0
sleep 1; import -window root -crop 840x520+0+0 countdown.png
sleep 2.6
for w in ${W[@]}; do xdotool keydown --window $w Down; done
sleep 1.2
for w in ${W[@]}; do xdotool keyup --window $w Down; xdotool keydown --window $w Up; done
sleep 0.5; import -window root -crop 840x520+0+0 racing.png
sleep 0.5
for w in ${W[@]}; do xdotool keyup --window $w Up; done
sleep 2; import -window root -crop 840x520+0+0 result.png
ls rec1 rec2; cat g1.out g2.out
kill $(cat g1.pid) $(cat g2.pid) $(cat relay.pid)
cmp rec1/*.cbreplay rec2/*.cbreplay && $B/chainball-sim --replay rec1/*.cbreplay --track $T > /dev/null
