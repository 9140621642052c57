# Headless Chromium for the shell checks, sourced: kept off the network, its profile in $1, the
# rest its own arguments, a minute at most.
headless_chromium() {
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-sync \
    --disable-background-networking --disable-component-update --user-data-dir="$1" "${@:2}"
}
