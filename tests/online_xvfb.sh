#!/bin/bash
# Two games on one Xvfb display race through the relay.
cd /tmp/onl; rm -rf rec1 rec2; mkdir -p rec1 rec2
B=/work/wt/online/build; T=/work/wt/online/tests/data/replays/Straight.txt
export DISPLAY=:57 SDL_AUDIODRIVER=dummy
$B/chainball --host 47411 --track $T --record rec1 > g1.out 2>&1 & echo $! > g1.pid
python3 /work/wt/online/tests/net_relay.py --host-port 47411 --delay 50 --jitter 10 --loss 0.05 > relay.out & echo $! > relay.pid
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
