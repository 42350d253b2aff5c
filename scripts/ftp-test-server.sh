#!/usr/bin/env bash
# Starts or stops the FTP servers the client tests talk to (pyftpdlib on 127.0.0.1, Debian's Python, and
# Debian's vsftpd through vsftpd-test-server.sh).
# Usage: ftp-test-server.sh start|stop <state folder>
set -euo pipefail
action=$1
folder=$2
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$folder"
case "$action" in
  start)
    if [ -f "$folder/pid" ] && kill -0 "$(cat "$folder/pid")" 2>/dev/null; then kill "$(cat "$folder/pid")" || true; fi
    "$here/scripts/vsftpd-test-server.sh" stop "$folder"
    rm -rf "$folder/state" "$folder/home"
    # A certificate of our own for "localhost", made anew for each run; no system trusts it.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext subjectAltName=DNS:localhost \
      -keyout "$folder/key.pem" -out "$folder/cert.pem" >/dev/null 2>&1
    nohup /usr/bin/python3 "$here/tests/ftp/ftp_test_server.py" "$folder/state" "$folder/home" \
      "$folder/cert.pem" "$folder/key.pem" >"$folder/server.log" 2>&1 </dev/null &
    echo $! >"$folder/pid"
    for _ in $(seq 1 100); do
      if [ -f "$folder/state" ]; then
        # The second real server, with the same certificate.
        "$here/scripts/vsftpd-test-server.sh" start "$folder" "$folder/cert.pem" "$folder/key.pem"
        exit 0
      fi
      sleep 0.1
    done
    echo "the FTP test server did not start:" >&2
    cat "$folder/server.log" >&2
    exit 1
    ;;
  stop)
    if [ -f "$folder/pid" ]; then kill "$(cat "$folder/pid")" 2>/dev/null || true; rm -f "$folder/pid"; fi
    "$here/scripts/vsftpd-test-server.sh" stop "$folder"
    ;;
esac
