# What scripts/debian-root and scripts/debian-clean share: where the roots live, the mirror they come from,
# and making one. Sourced, with `project`, `suite` and `root` set by the caller.

cache=${BRISEL_ROOTS:-/var/cache/brisel}
PATH=$PATH:/usr/sbin:/sbin  # debootstrap lives there, outside a normal user's PATH

die() {
  echo "$(basename "$0"): $*" >&2
  exit 1
}

suite_name() {
  case $1 in
    bookworm) echo "Debian 12" ;;
    trixie) echo "Debian 13" ;;
  esac
}

# The Debian archive to make roots from: $BRISEL_DEBIAN_MIRROR, else the first Debian archive named in this
# machine's apt sources (deb822 or one-line form).
mirror() {
  local uri=${BRISEL_DEBIAN_MIRROR:-}
  if [ -z "$uri" ]; then
    uri=$(grep -hs -E '^\s*URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' |
          grep -i debian | grep -v -e security -e '^$' | head -n 1 || true)
  fi
  if [ -z "$uri" ]; then
    uri=$(grep -hs -E '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
          sed -E 's/\[[^]]*\]//' | awk '{print $2}' | grep -v security | grep -i debian | head -n 1 || true)
  fi
  [ -n "$uri" ] || die "no Debian archive in /etc/apt's sources to make the $(suite_name "$suite") root from: set BRISEL_DEBIAN_MIRROR"
  echo "${uri%/}"
}

need_root_tools() {
  command -v debootstrap >/dev/null && command -v bwrap >/dev/null ||
    die "debootstrap or bubblewrap missing: run scripts/install-deps first"
}

# Runs CMD in the root itself as root, with the project read-only at /src: for apt and install-deps.
in_root() {
  bwrap --bind "$root" / --proc /proc --dev /dev --perms 1777 --tmpfs /tmp --ro-bind "$project" /src \
        --ro-bind /etc/resolv.conf /etc/resolv.conf --setenv DEBIAN_FRONTEND noninteractive \
        --setenv PATH /usr/sbin:/usr/bin:/sbin:/bin --unsetenv SUDO_USER "$@"
}

# Makes a minimal root of $suite at $root once (debootstrap, about a minute); a root whose making was cut
# short is made anew.
bootstrap() {
  [ ! -e "$root/.brisel-bootstrapped" ] || return 0
  local from
  from=$(mirror)
  echo "$(basename "$0"): making a $(suite_name "$suite") root in $root (once; a minute or two; log: $root.log)"
  rm -rf "$root"
  debootstrap --variant=minbase "$suite" "$root" "$from" >"$root.log" 2>&1 ||
    die "debootstrap failed (no network, or no room?); its log: $root.log"
  echo "deb $from $suite main" >"$root/etc/apt/sources.list"
  rm -f "$root"/var/cache/apt/archives/*.deb
  touch "$root/.brisel-bootstrapped"
}
