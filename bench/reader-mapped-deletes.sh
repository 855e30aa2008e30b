#!/bin/sh
# How many of N pellimor-cli deletes refuse while another process keeps the index mapped
# read-only, as any reader may. Usage: bench/reader-mapped-deletes.sh PELLIMOR_CLI N
cli=$1; n=$2; w=$(mktemp -d); export HOME=$w XDG_CONFIG_HOME=$w/c
"$cli" demo $w/model >/dev/null; refused=0
for i in $(seq $n); do
  rm -rf $w/p; cp -a $w/model $w/p
  python3 -c "import mmap,sys,time;f=open(sys.argv[1],'rb');m=mmap.mmap(f.fileno(),0,access=mmap.ACCESS_READ);print('y',flush=True);time.sleep(30)" $w/p/INetCache/Content.IE5/index.dat > $w/ready & r=$!
  while [ ! -s $w/ready ]; do sleep 0.01; done
  "$cli" delete --cache $w/p/INetCache rocket --yes >/dev/null 2>$w/err || refused=$((refused+1))
  kill $r; wait $r 2>/dev/null; rm -f $w/ready
done
echo "deletes=$n refused=$refused"; head -1 $w/err; rm -rf $w
