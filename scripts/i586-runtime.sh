#!/usr/bin/env bash
# Builds the compiler runtime that the shipped 32-bit programs link statically, for the Pentium
# (-march=i586: no cmov, fcmov, fcomi), from the Debian sources of the installed compiler:
#   crt2.o libmingw32.a libmingwex.a libmsvcrt.a libmoldname.a   source package mingw-w64
#   libgcc.a libgcc_eh.a crtbegin.o crtend.o                      binary package gcc-12-source
#   libstdc++.a libsupc++.a                                       gcc-12-source
# Debian's prebuilt ones are built for the Pentium Pro, and crt2.o alone runs a cmov at every start.
# The result is cached outside every checkout, in /var/cache/qv-i586-runtime/lib (another folder
# with QV_I586_RUNTIME_DIR), shared by the checkouts of the machine as the 32-bit Wine chroot is,
# keyed on the installed compiler packages and this script, and linked through
# cmake/toolchain-i686-mingw32.cmake (-B/-L).
# Usage: i586-runtime.sh          build unless the cache is current
#        i586-runtime.sh --check  only say whether the cache is current (exit 1 if not)
# NICE="nice -n 19" lowers the build's priority.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/retry.sh
. "$root/scripts/retry.sh"
out=${QV_I586_RUNTIME_DIR:-/var/cache/qv-i586-runtime}
lib=$out/lib
T=i686-w64-mingw32
CFL="-O2 -g0 -march=i586"
files=(crt2.o libmingw32.a libmingwex.a libmsvcrt.a libmoldname.a
  libgcc.a libgcc_eh.a crtbegin.o crtend.o libstdc++.a libsupc++.a)

version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo none; }
die() { echo "i586-runtime: $*" >&2; exit 1; }

key="gcc-mingw-w64-i686-win32=$(version gcc-mingw-w64-i686-win32)
g++-mingw-w64-i686-win32=$(version g++-mingw-w64-i686-win32)
mingw-w64-i686-dev=$(version mingw-w64-i686-dev)
binutils-mingw-w64-i686=$(version binutils-mingw-w64-i686)
script=$(sha256sum "$0" | cut -d' ' -f1)"

current() {
  [[ -f $out/key && "$(cat "$out/key")" == "$key" ]] || return 1
  local f
  for f in "${files[@]}"; do [[ -f $lib/$f ]] || return 1; done
}

if [[ ${1:-} == --check ]]; then
  current && exit 0
  if [[ -f $out/key ]]; then
    die "the runtime in $lib was built for other compiler packages or by another version of scripts/i586-runtime.sh; run scripts/i586-runtime.sh"
  fi
  die "no Pentium runtime in $lib; run scripts/i586-runtime.sh (several minutes, once) before configuring the windows preset"
fi

mkdir -p "$out"
# One build at a time; a second caller waits and then finds the cache current.
exec 9>"$out/lock"
flock 9
if current; then
  echo "i586-runtime: cached in $lib"
  exit 0
fi

N=${NICE:-}
J=-j$(nproc)
t0=$(date +%s)
step() { echo "i586-runtime: $(($(date +%s) - t0)) s: $*"; }

# The sources of the installed compiler: GCC's from the Built-Using field of Debian's MinGW
# compiler, the C runtime's from the version of its development package.
gcc_ver=$(dpkg-query -W -f='${Built-Using}' gcc-mingw-w64-i686-win32 2>/dev/null |
  sed -nE 's/.*gcc-12 \(= ([^)]+)\).*/\1/p')
crt_ver=$(version mingw-w64-i686-dev)
[[ -n $gcc_ver && $crt_ver != none ]] ||
  die "gcc-mingw-w64-i686-win32 (built from gcc-12) and mingw-w64-i686-dev must be installed: run scripts/bootstrap.sh"

downloads=$out/downloads
work=$out/work
mkdir -p "$downloads"
rm -rf "$work"
mkdir -p "$work/src" "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts"

step "sources: gcc-12-source $gcc_ver, mingw-w64 $crt_ver"
gcc_deb=$downloads/gcc-12-source_${gcc_ver}_all.deb
if [[ ! -f $gcc_deb ]]; then
  (cd "$work" && qv_retry "download of gcc-12-source $gcc_ver" "$work/download.log" -- \
    apt-get -q "${QV_APT_OPTS[@]}" download "gcc-12-source=$gcc_ver" && mv gcc-12-source_*_all.deb "$gcc_deb") ||
    die "cannot download gcc-12-source $gcc_ver, the GCC source of the installed compiler. Run apt-get update,
or fetch gcc-12-source_${gcc_ver}_all.deb from snapshot.debian.org into $downloads"
fi
dsc=$downloads/mingw-w64_${crt_ver#*:}.dsc
if [[ ! -f $dsc ]]; then
  # A source package needs deb-src entries: the machine's own Debian sources, turned into
  # deb-src in a private apt configuration. The system's sources stay as they are.
  : >"$work/apt/sources.list"
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f $f ]] && sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/parts/$(basename "$f")"
  done
  if [[ -f /etc/apt/sources.list ]]; then
    sed -nE 's/^deb[[:space:]]+/deb-src /p' /etc/apt/sources.list >"$work/apt/sources.list"
  fi
  cat >"$work/apt/apt.conf" <<EOF
Dir::Etc::SourceList "$work/apt/sources.list";
Dir::Etc::SourceParts "$work/apt/parts";
Dir::State::Lists "$work/apt/lists";
Dir::Cache "$work/apt/cache";
APT::Sandbox::User "root";
EOF
  (cd "$downloads" && export APT_CONFIG="$work/apt/apt.conf" &&
    qv_apt_update "apt-get update of the deb-src entries" "$work/apt/update.log" -- \
      apt-get -q "${QV_APT_OPTS[@]}" update &&
    qv_retry "download of the source package mingw-w64 $crt_ver" "$work/download.log" -- \
      apt-get -q "${QV_APT_OPTS[@]}" source --download-only "mingw-w64=$crt_ver") ||
    die "cannot download the source package mingw-w64 $crt_ver through deb-src entries derived from
/etc/apt/sources.list(.d). The machine needs a Debian mirror that carries bookworm's sources, or
put mingw-w64_${crt_ver#*:}.dsc with its .orig.tar.bz2 and .debian.tar.xz (snapshot.debian.org) into $downloads"
fi
if ! command -v dpkg-source >/dev/null || ! command -v autoreconf >/dev/null; then
  die "dpkg-source and autoreconf are missing: run scripts/bootstrap.sh (dpkg-dev, autoconf, automake)"
fi

step "unpack"
cd "$work/src"
# Debian's patches apply; two of them change the C runtime's Makefile.am, so its build files are
# made again as Debian's own build does.
$N dpkg-source -q -x "$dsc" mingw-w64 >unpack.log 2>&1 || die "dpkg-source -x $dsc failed: $(tail -3 unpack.log)"
(cd mingw-w64/mingw-w64-crt && $N autoreconf -fi >../../autoreconf.log 2>&1) ||
  die "autoreconf of mingw-w64-crt failed, see $work/src/autoreconf.log"
dpkg-deb -x "$gcc_deb" deb
gcc_tar=$(ls deb/usr/src/gcc-12/gcc-*.tar.*)
# Only what the runtime needs; the test suites and other languages are most of the tree.
$N tar -xf "$gcc_tar" --exclude='*/gcc/testsuite' --exclude='*/libgo' --exclude='*/gcc/ada' \
  --exclude='*/libphobos' --exclude='*/gcc/d' --exclude='*/gcc/rust' --exclude='*/libgfortran' \
  --exclude='*/gcc/m2'
src_gcc=$(ls -d "$work"/src/gcc-12*/)
src_gcc=${src_gcc%/}
# Debian's MinGW compiler carries this one header patch of the packaged GCC sources; the
# c++config.h check below proves the configuration matches.
(cd "$src_gcc" && patch -s -p2 <"$work/src/deb/usr/src/gcc-12/patches/cuda-float128.diff")
rm -rf deb
src_crt=$work/src/mingw-w64/mingw-w64-crt

step "C runtime (mingw-w64-crt)"
# make does not make lib32/ before the first object it writes there in a parallel build.
mkdir -p "$work/build/crt/lib32"
cd "$work/build/crt"
# Debian's configuration of the 32-bit C runtime, with our processor.
$N "$src_crt/configure" -q --host=$T --target=$T --prefix=/usr/$T --enable-lib32 --disable-lib64 \
  CC=$T-gcc-win32 CFLAGS="$CFL" >configure.log 2>&1 || die "configure of mingw-w64-crt failed: $PWD/configure.log"
$N make "$J" lib32/crt2.o lib32/libmingw32.a lib32/libmingwex.a lib32/libmsvcrt.a lib32/libmoldname.a \
  >make.log 2>&1 || die "build of mingw-w64-crt failed: $PWD/make.log"

step "libgcc"
gcc_build=$work/build/gcc
mkdir -p "$gcc_build/gcc" "$gcc_build/build-x86_64-linux-gnu/libiberty" "$gcc_build/$T/libgcc"
# libgcc includes the compiler's configuration headers (tm.h, options.h, ...); the compiler
# itself is not built. The options are those of Debian's MinGW compiler (gcc -v).
cd "$gcc_build/build-x86_64-linux-gnu/libiberty"
$N "$src_gcc/libiberty/configure" -q --build=x86_64-linux-gnu --host=x86_64-linux-gnu >configure.log 2>&1
$N make "$J" >make.log 2>&1 || die "build of libiberty failed: $PWD/make.log"
cd "$gcc_build/gcc"
$N "$src_gcc/gcc/configure" -q --build=x86_64-linux-gnu --host=x86_64-linux-gnu --target=$T --prefix=/usr \
  --enable-threads=win32 --disable-sjlj-exceptions --with-dwarf2 --enable-languages=c,c++ --disable-multilib \
  --enable-shared --enable-static --enable-version-specific-runtime-libs --with-gnu-as --with-gnu-ld \
  --with-as=/usr/bin/$T-as --with-ld=/usr/bin/$T-ld >configure.log 2>&1 ||
  die "configure of gcc failed: $PWD/configure.log"
$N make "$J" tconfig.h tm.h options.h insn-constants.h >make.log 2>&1 ||
  die "the compiler's configuration headers failed: $PWD/make.log"
# What the compiler's own build writes into libgcc.mvars.
cat >libgcc.mvars <<'EOF'
GCC_CFLAGS = -DIN_GCC -DCROSS_DIRECTORY_STRUCTURE -W -Wall -Wno-narrowing -Wwrite-strings -Wcast-qual -Wstrict-prototypes -Wmissing-prototypes -Wold-style-definition
INHIBIT_LIBC_CFLAGS =
TARGET_SYSTEM_ROOT =
NO_PIE_CFLAGS =
EOF
cd "$gcc_build/$T/libgcc"
$N "$src_gcc/libgcc/configure" -q --build=x86_64-linux-gnu --host=$T --target=$T --prefix=/usr \
  --enable-shared --enable-version-specific-runtime-libs CC=$T-gcc-win32 AR=$T-ar RANLIB=$T-ranlib NM=$T-nm \
  LIPO=: CFLAGS="$CFL" >configure.log 2>&1 || die "configure of libgcc failed: $PWD/configure.log"
$N make "$J" libgcc.a libgcc_eh.a crtbegin.o crtend.o LIBGCC2_DEBUG_CFLAGS=-g0 >make.log 2>&1 ||
  die "build of libgcc failed: $PWD/make.log"

step "libstdc++"
mkdir -p "$work/build/libstdcxx"
cd "$work/build/libstdcxx"
# Debian's options; -nostdinc++ keeps the installed C++ headers out of configure's tests.
$N "$src_gcc/libstdc++-v3/configure" -q --build=x86_64-linux-gnu --host=$T --target=$T --prefix=/usr \
  --disable-multilib --disable-shared --enable-static --disable-libstdcxx-pch --enable-fully-dynamic-string \
  --enable-libstdcxx-time=yes --enable-libstdcxx-filesystem-ts=yes --enable-symvers=gnu --disable-nls \
  CC=$T-gcc-win32 "CXX=$T-g++-win32 -nostdinc++" AR=$T-ar RANLIB=$T-ranlib NM=$T-nm \
  CFLAGS="$CFL" CXXFLAGS="$CFL" >configure.log 2>&1 || die "configure of libstdc++ failed: $PWD/configure.log"
# Configured as Debian's compiler is, or the installed headers would not describe this library.
installed_config=/usr/lib/gcc/$T/12-win32/include/c++/$T/bits/c++config.h
cmp -s "include/$T/bits/c++config.h" "$installed_config" ||
  die "the configured c++config.h differs from the installed $installed_config:
$(diff "$installed_config" "include/$T/bits/c++config.h" | head -20)"
# random_device's rdrand/rdseed readers are compiled with target("rdrnd"), which brings cmov
# back; without them it uses rand_s.
sed -i -E 's@^#define (_GLIBCXX_X86_RDRAND|_GLIBCXX_X86_RDSEED) 1@/* #undef \1 */@' config.h
$N make "$J" >make.log 2>&1 || die "build of libstdc++ failed: $PWD/make.log"

step "install"
rm -rf "$lib.new"
mkdir -p "$lib.new"
cp "$work"/build/crt/lib32/{crt2.o,libmingw32.a,libmingwex.a,libmsvcrt.a,libmoldname.a} \
  "$gcc_build/$T"/libgcc/{libgcc.a,libgcc_eh.a,crtbegin.o,crtend.o} \
  "$work"/build/libstdcxx/src/.libs/libstdc++.a "$work"/build/libstdcxx/libsupc++/.libs/libsupc++.a "$lib.new/"
rm -rf "$lib"
mv "$lib.new" "$lib"
printf '%s\n' "$key" >"$out/key"
# The sources and build trees (about 750 MB) are not needed again; the downloads are.
cd "$out"
rm -rf "$work"
step "done: $lib ($(du -sh "$lib" | cut -f1)), downloads $(du -sh "$downloads" | cut -f1)"
