#!/usr/bin/env bash
# start-mail.sh STATE_DIR: dovecot (POP3 + IMAP4, TLS required, STARTTLS and implicit-TLS
# listeners), SMTP servers that store what they receive (plain without STARTTLS, STARTTLS, TLS)
# and a scripted POP3 server; all on free loopback ports. Certificates: with-servers.sh.
set -euo pipefail
state=$1
here=$(cd "$(dirname "$0")" && pwd)
base="$state/mail"
mkdir -p "$base/run" "$base/lib" "$base/smtp" "$base/script"
chmod 755 "$base" "$base/lib"

free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}
wait_port() { # port: waits up to 10 s for a greeting
  for _ in $(seq 1 100); do
    if /usr/bin/python3 -c "import socket,sys; s=socket.create_connection(('127.0.0.1',$1),1); sys.exit(0 if s.recv(10) else 1)" 2>/dev/null; then return 0; fi
    sleep 0.1
  done
  echo "start-mail: port $1 does not answer" >&2; return 1
}

user=orvendal password=geheim
pop3=$(free_port); imap=$(free_port); pop3s=$(free_port); imaps=$(free_port)
smtp=$(free_port); smtps=$(free_port); smtptls=$(free_port); script=$(free_port)
maildir="$base/lib/$user/Maildir"
mkdir -p "$maildir/new" "$maildir/cur" "$maildir/tmp"
chown -R dovecot:dovecot "$base/lib"
echo "$user:{PLAIN}$password" > "$base/passwd"
cat > "$base/dovecot.conf" <<CONF
protocols = pop3 imap
listen = 127.0.0.1
base_dir = $base/run
state_dir = $base/lib
log_path = $base/dovecot.log
# Dovecot counts loopback connections as secured: plain logins there still work.
ssl = required
ssl_cert = <$ORVENDAL_TEST_CERT
ssl_key = <$ORVENDAL_TEST_KEY
auth_mechanisms = plain login
default_internal_user = dovecot
default_login_user = dovenull
first_valid_uid = 1
first_valid_gid = 1
mail_location = maildir:$base/lib/%u/Maildir
passdb {
  driver = passwd-file
  args = $base/passwd
}
userdb {
  driver = static
  args = uid=dovecot gid=dovecot home=$base/lib/%u
}
service pop3-login {
  inet_listener pop3 {
    port = $pop3
  }
  inet_listener pop3s {
    port = $pop3s
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    port = $imap
  }
  inet_listener imaps {
    port = $imaps
    ssl = yes
  }
}
CONF
dovecot -F -c "$base/dovecot.conf" >"$base/dovecot.out" 2>&1 &
echo $! >> "$state/pids"
/usr/bin/python3 "$here/smtp-store.py" "$base/smtp" "$ORVENDAL_TEST_CERT" "$ORVENDAL_TEST_KEY" \
  "$smtp" "$smtps" "$smtptls" >"$base/smtp.log" 2>&1 &
echo $! >> "$state/pids"
/usr/bin/python3 "$here/pop3-script.py" "$script" "$base/script" >"$base/script.log" 2>&1 &
echo $! >> "$state/pids"
for port in $pop3 $imap $smtp $smtps $script; do wait_port "$port"; done
cat <<OUT
export ORVENDAL_TEST_POP3=127.0.0.1:$pop3
export ORVENDAL_TEST_IMAP=127.0.0.1:$imap
export ORVENDAL_TEST_SMTP=127.0.0.1:$smtp
export ORVENDAL_TEST_POP3S=127.0.0.1:$pop3s ORVENDAL_TEST_IMAPS=127.0.0.1:$imaps
export ORVENDAL_TEST_SMTP_STARTTLS=127.0.0.1:$smtps ORVENDAL_TEST_SMTP_TLS=127.0.0.1:$smtptls
export ORVENDAL_TEST_POP3_SCRIPT=127.0.0.1:$script
export ORVENDAL_TEST_POP3_SCRIPT_DIR=$base/script
export ORVENDAL_TEST_MAILDIR=$maildir
export ORVENDAL_TEST_DOVECOT_LOG=$base/dovecot.log
export ORVENDAL_TEST_SMTP_DIR=$base/smtp
OUT
