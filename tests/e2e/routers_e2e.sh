#!/bin/sh
# routers_e2e.sh TEST_PROGRAM: a public side (203.0.113.0/24, the server at .1) and two homes
# (192.168.1.0/24) behind routers that masquerade as 203.0.113.2 and .3; Ann and Cy live in home 1,
# Bob in home 2. One network namespace each, one process each, none longer than 55 s. Skipped (77)
# where namespaces cannot be made.
[ "$(id -u)" = 0 ] && command -v nft >/dev/null && unshare -n true 2>/dev/null || exit 77
prog=$1 tag=tavr$$ dir=$(mktemp -d) server= pids= failed=0
cleanup() {
    for pid in $server $pids; do kill "$pid" 2>/dev/null; done
    wait
    for ns in pub r1 r2 ann bob cy; do ip netns del "$tag-$ns" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
set -e
for ns in pub r1 r2 ann bob cy; do ip netns add "$tag-$ns" && ip -n "$tag-$ns" link set dev lo up; done
ip -n "$tag-pub" link add name br type bridge
ip -n "$tag-pub" addr add 203.0.113.1/24 dev br
ip -n "$tag-pub" link set dev br up
for r in "r1 203.0.113.2" "r2 203.0.113.3"; do  # its WAN on the public bridge, its LAN a bridge of its own
    set -- $r
    ip -n "$tag-$1" link add name wan type veth peer name "$1" netns "$tag-pub"
    ip -n "$tag-pub" link set dev "$1" master br up
    ip -n "$tag-$1" addr add "$2/24" dev wan
    ip -n "$tag-$1" link add name lan type bridge
    ip -n "$tag-$1" addr add 192.168.1.1/24 dev lan
    ip -n "$tag-$1" link set dev wan up && ip -n "$tag-$1" link set dev lan up
    ip netns exec "$tag-$1" sysctl -qw net.ipv4.ip_forward=1
    ip netns exec "$tag-$1" nft 'add table ip nat; add chain ip nat post { type nat hook postrouting priority 100; };
                                 add rule ip nat post oifname wan masquerade'
done
for h in "ann r1 192.168.1.10" "cy r1 192.168.1.11" "bob r2 192.168.1.10"; do
    set -- $h
    ip -n "$tag-$1" link add name eth type veth peer name "$1" netns "$tag-$2"
    ip -n "$tag-$2" link set dev "$1" master lan up
    ip -n "$tag-$1" addr add "$3/24" dev eth
    ip -n "$tag-$1" link set dev eth up
    ip -n "$tag-$1" route add default via 192.168.1.1
done
set +e
for run in "pub server" "ann player:Ann" "bob player:Bob" "cy player:Cy"; do
    set -- $run
    TAV_REACH_DIR="$dir" ip netns exec "$tag-$1" timeout 55 "$prog" "$2" >"$dir/$1.log" 2>&1 &
    [ "$1" = pub ] && server=$! || pids="$pids $!"
done
for pid in $pids; do wait "$pid" || failed=1; done
touch "$dir/done"
wait
for ns in pub ann bob cy; do
    [ "$failed" = 0 ] && grep -h '^Totals' "$dir/$ns.log" || { echo "== $ns"; cat "$dir/$ns.log"; }
done
exit "$failed"
