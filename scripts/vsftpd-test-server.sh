#!/usr/bin/env bash
# Starts or stops Debian's vsftpd as a second real FTP server for the tests: two instances on 127.0.0.1,
# one plain and one that requires TLS, both anonymous with write rights in <state folder>/vsftpd-home/pub.
# No system service: each instance runs in the foreground with a configuration file of its own.
# Usage: vsftpd-test-server.sh start|stop <state folder> [certificate key]
# Writes "plain port\ntls port\nhome\n" to <state folder>/state-vsftpd once both listen.
set -euo pipefail
action=$1
folder=$2
work="$folder/vsftpd"
home="$folder/vsftpd-home"

stop() {
  for pidfile in "$work"/*.pid; do
    [ -f "$pidfile" ] || continue
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  done
  # The anonymous root is kept immutable while vsftpd runs (see below).
  [ -d "$home" ] && chattr -i "$home" 2>/dev/null || true
  rm -f "$folder/state-vsftpd"
}

case "$action" in
  stop) stop ;;
  start)
    certificate=$3
    key=$4
    [ -x /usr/sbin/vsftpd ] || { echo "vsftpd is not installed" >&2; exit 1; }
    stop
    rm -rf "$work" "$home"
    mkdir -p "$work/empty" "$home/pub"
    # vsftpd refuses an anonymous root it could write to; for root, that is one marked immutable. The
    # sessions run as root (ftp_username) so that they may change what the tests, as root, put there.
    chattr +i "$home"
    read -r plain tls passive < <(/usr/bin/python3 -c '
import socket
ports = []
sockets = []
for _ in range(3):
    s = socket.socket(); s.bind(("127.0.0.1", 0)); sockets.append(s); ports.append(s.getsockname()[1])
print(*ports)')
    for name in plain tls; do
      port=${!name}
      offset=0
      [ "$name" = tls ] && offset=40
      {
        echo "listen=YES"; echo "listen_ipv6=NO"; echo "listen_address=127.0.0.1"; echo "listen_port=$port"
        echo "background=NO"; echo "anonymous_enable=YES"; echo "local_enable=NO"; echo "no_anon_password=YES"
        echo "write_enable=YES"; echo "anon_upload_enable=YES"; echo "anon_mkdir_write_enable=YES"
        echo "anon_other_write_enable=YES"; echo "anon_world_readable_only=NO"; echo "anon_umask=022"
        echo "anon_root=$home"; echo "ftp_username=root"; echo "secure_chroot_dir=$work/empty"
        echo "pasv_enable=YES"; echo "pasv_min_port=$((passive + offset))"
        echo "pasv_max_port=$((passive + offset + 39))"
        # Containers refuse the sandboxes vsftpd would set up for itself.
        echo "seccomp_sandbox=NO"; echo "isolate=NO"; echo "isolate_network=NO"
        echo "xferlog_enable=NO"; echo "use_localtime=NO"
        if [ "$name" = tls ]; then
          echo "ssl_enable=YES"; echo "allow_anon_ssl=YES"; echo "force_anon_logins_ssl=YES"
          echo "force_anon_data_ssl=YES"; echo "rsa_cert_file=$certificate"; echo "rsa_private_key_file=$key"
          echo "ssl_ciphers=HIGH"
          # Wine's SChannel never resumes a TLS session, which vsftpd asks of data connections by default.
          echo "require_ssl_reuse=NO"
        fi
      } >"$work/$name.conf"
      nohup /usr/sbin/vsftpd "$work/$name.conf" >"$work/$name.log" 2>&1 </dev/null &
      echo $! >"$work/$name.pid"
    done
    for _ in $(seq 1 100); do
      if /usr/bin/python3 -c "
import socket, sys
for port in ($plain, $tls):
    s = socket.create_connection(('127.0.0.1', port), timeout=1); s.recv(100); s.close()
" 2>/dev/null; then
        printf '%s\n%s\n%s\n' "$plain" "$tls" "$home" >"$folder/state-vsftpd"
        exit 0
      fi
      sleep 0.1
    done
    echo "vsftpd did not start:" >&2
    cat "$work"/*.log >&2
    exit 1
    ;;
esac
