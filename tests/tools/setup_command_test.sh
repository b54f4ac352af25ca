#!/bin/sh
# The README's set-up command (the first of "Try it"), run as root on a machine without sudo and as
# a user with sudo.  Stand-ins for id, sudo, dpkg and apt-get record what
# ran; nothing is installed.
set -u
readme="$1/README.md"
command=$(sed -n '/^## Try it/,$p' "$readme" | sed -n '/^```sh$/{n;p;q}' | sed 's/[[:space:]]*#.*$//')
[ -n "$command" ] || { echo "no set-up command in $readme"; exit 1; }
stubs=$(mktemp -d)
trap 'rm -rf "$stubs"' EXIT
cat > "$stubs/id" <<'STUB'
#!/bin/sh
echo "${STUB_UID:-0}"
STUB
cat > "$stubs/dpkg" <<'STUB'
#!/bin/sh
echo i386
STUB
cat > "$stubs/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get as ${STUB_UID:-0}: $*" >> "$STUB_LOG"
STUB
cat > "$stubs/sudo-user" <<'STUB'
#!/bin/sh
[ "$1" = "--" ] && shift
STUB_UID=0 exec "$@"
STUB
chmod +x "$stubs"/*
failed=0
for mode in root-without-sudo user-with-sudo; do
  log="$stubs/$mode.log"
  : > "$log"
  rm -f "$stubs/sudo"
  uid=0
  if [ "$mode" = user-with-sudo ]; then
    cp "$stubs/sudo-user" "$stubs/sudo"
    uid=1000
  fi
  (cd "$1" && PATH="$stubs:/usr/bin:/bin" STUB_UID=$uid STUB_LOG="$log" sh -c "$command") > "$stubs/out" 2>&1
  if ! grep -q "apt-get as 0: install" "$log"; then
    echo "$mode: '$command' did not install as root:"
    cat "$stubs/out" "$log"
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "2 passed, 0 failed"
exit "$failed"
