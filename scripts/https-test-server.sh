#!/usr/bin/env bash
# Starts or stops the HTTPS server the update tests talk to (scripts/https_test_server.py on 127.0.0.1,
# Debian's Python), with a certificate for "localhost" made anew for each start.
# Usage: https-test-server.sh start|stop <state folder>
set -euo pipefail
action=$1
folder=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$folder"
case "$action" in
  start)
    if [ -f "$folder/pid" ] && kill -0 "$(cat "$folder/pid")" 2>/dev/null; then kill "$(cat "$folder/pid")" || true; fi
    rm -rf "$folder/state" "$folder/www"
    # No system trusts this certificate: the tests add it to the test prefix's trusted roots themselves.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost \
      -keyout "$folder/key.pem" -out "$folder/cert.pem" >/dev/null 2>&1
    nohup /usr/bin/python3 "$here/https_test_server.py" "$folder/state" "$folder/www" \
      "$folder/cert.pem" "$folder/key.pem" >"$folder/server.log" 2>&1 </dev/null &
    echo $! >"$folder/pid"
    for _ in $(seq 1 100); do
      if [ -f "$folder/state" ]; then exit 0; fi
      sleep 0.1
    done
    echo "the HTTPS test server did not start:" >&2
    cat "$folder/server.log" >&2
    exit 1
    ;;
  stop)
    if [ -f "$folder/pid" ]; then kill "$(cat "$folder/pid")" 2>/dev/null || true; rm -f "$folder/pid"; fi
    ;;
esac
