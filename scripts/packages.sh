# Installs missing Debian packages: `ensure_packages NAME...`.  As root it runs
# apt-get (updating the package lists first, and only when something is
# missing, so a second run does no network work); otherwise it prints the exact
# command to run and exits.
ensure_packages() {
  local missing=()
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing ${missing[*]}" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# What the library and the imr command need to build.
BUILD_PACKAGES=(cmake ninja-build g++ nlohmann-json3-dev libcli11-dev zlib1g-dev)
# What the tests need in addition: the Python package's tests and the
# installation test (a host built with pkg-config).
TEST_PACKAGES=(libgtest-dev libgmock-dev python3-pytest pkgconf)
