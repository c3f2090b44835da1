# Cross-compiles for 64-bit Arm Linux (Debian's arm64) on Debian with crossbuild-essential-arm64,
# against the arm64 libraries that Debian's multiarch installs beside the machine's own
# (qt6-base-dev:arm64), with the machine's own Qt tools (moc, rcc, uic). The programs run on
# the machine under qemu-user: scripts/arm64.sh passes CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config)

# The arm64 files are in the machine's own folders, under aarch64-linux-gnu: no other root.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# The build's host tools (assets/host) are built against the machine's own Qt.
set(QT_HOST_PATH /usr)
