# Sourced by with-servers.sh: dovecot (POP3 + IMAP4, TLS required, STARTTLS and implicit-TLS
# listeners), SMTP servers that store what they receive (plain without STARTTLS, STARTTLS, TLS)
# and a scripted POP3 server; all on free loopback ports. The SMTP and the scripted server record
# what they saw in seen.log.
base=$state/mail seen=$state/mail/seen.log
maildir=$base/lib/orvendal/Maildir
mkdir -p "$base/run" "$base/smtp" "$base/script" "$maildir/new" "$maildir/cur" "$maildir/tmp"
chmod 755 "$base"
chown -R dovecot:dovecot "$base/lib"
pop3=$(free_port) imap=$(free_port) pop3s=$(free_port) imaps=$(free_port)
smtp=$(free_port) smtps=$(free_port) smtptls=$(free_port) script=$(free_port)
cat >"$base/dovecot.conf" <<CONF
protocols = pop3 imap
listen = 127.0.0.1
base_dir = $base/run
state_dir = $base/lib
log_path = $base/dovecot.log
# Dovecot counts loopback connections as secured: plain logins there still work.
ssl = required
ssl_cert = <$ORVENDAL_TEST_CERT
ssl_key = <$ORVENDAL_TEST_KEY
first_valid_uid = 1
mail_location = maildir:$base/lib/%u/Maildir
passdb {
  driver = static
  args = password=geheim
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
/usr/bin/python3 "$here/smtp-store.py" "$base/smtp" "$seen" "$ORVENDAL_TEST_CERT" \
  "$ORVENDAL_TEST_KEY" "$smtp" "$smtps" "$smtptls" >"$base/smtp.log" 2>&1 &
/usr/bin/python3 "$here/pop3-script.py" "$script" "$base/script" "$seen" 2>"$base/script.log" &
greets() { (exec 3<>"/dev/tcp/127.0.0.1/$1" && read -r -t 1 -n 1 <&3) 2>/dev/null; }
for port in $pop3 $imap $smtp $smtps $script; do # each greets within 10 s
  for _ in $(seq 100); do greets "$port" && break; sleep 0.1; done
  greets "$port" || { echo "start-mail: port $port does not answer" >&2; exit 1; }
done
export ORVENDAL_TEST_POP3=127.0.0.1:$pop3 ORVENDAL_TEST_IMAP=127.0.0.1:$imap
export ORVENDAL_TEST_POP3S=127.0.0.1:$pop3s ORVENDAL_TEST_IMAPS=127.0.0.1:$imaps
export ORVENDAL_TEST_SMTP=127.0.0.1:$smtp ORVENDAL_TEST_SMTP_STARTTLS=127.0.0.1:$smtps
export ORVENDAL_TEST_SMTP_TLS=127.0.0.1:$smtptls ORVENDAL_TEST_POP3_SCRIPT=127.0.0.1:$script
export ORVENDAL_TEST_POP3_SCRIPT_DIR=$base/script ORVENDAL_TEST_MAILDIR=$maildir
export ORVENDAL_TEST_DOVECOT_LOG=$base/dovecot.log ORVENDAL_TEST_SMTP_DIR=$base/smtp
export ORVENDAL_TEST_MAIL_SEEN=$seen
