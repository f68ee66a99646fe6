#!/usr/bin/env bash
# start-mail.sh STATE_DIR: dovecot (POP3 + IMAP4), an SMTP server that stores what it receives,
# and a POP3 server that drops the connection on RETR; all on free loopback ports.
set -euo pipefail
state=$1
here=$(cd "$(dirname "$0")" && pwd)
base="$state/mail"
mkdir -p "$base/run" "$base/lib" "$base/smtp" "$base/drop"
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
pop3=$(free_port); imap=$(free_port); smtp=$(free_port); drop=$(free_port)
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
ssl = no
disable_plaintext_auth = no
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
    address = 127.0.0.1
    port = $pop3
  }
}
service imap-login {
  inet_listener imap {
    address = 127.0.0.1
    port = $imap
  }
  inet_listener imaps {
    port = 0
  }
}
service pop3 {
  process_limit = 10
}
pop3_uidl_format = %08Xu%08Xv
CONF
dovecot -F -c "$base/dovecot.conf" >"$base/dovecot.out" 2>&1 &
echo $! >> "$state/pids"
/usr/bin/python3 "$here/smtp-store.py" "$smtp" "$base/smtp" >"$base/smtp.log" 2>&1 &
echo $! >> "$state/pids"
/usr/bin/python3 "$here/pop3-drop.py" "$drop" "$base/drop" >"$base/drop.log" 2>&1 &
echo $! >> "$state/pids"
wait_port "$pop3"; wait_port "$imap"; wait_port "$smtp"; wait_port "$drop"
cat <<OUT
export ORVENDAL_TEST_POP3=127.0.0.1:$pop3
export ORVENDAL_TEST_IMAP=127.0.0.1:$imap
export ORVENDAL_TEST_SMTP=127.0.0.1:$smtp
export ORVENDAL_TEST_POP3_DROP=127.0.0.1:$drop
export ORVENDAL_TEST_POP3_DROP_DIR=$base/drop
export ORVENDAL_TEST_MAILDIR=$maildir
export ORVENDAL_TEST_SMTP_DIR=$base/smtp
export ORVENDAL_TEST_MAIL_USER=$user
export ORVENDAL_TEST_MAIL_PASSWORD=$password
OUT
