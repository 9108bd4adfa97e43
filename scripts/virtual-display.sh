# Sourced by the run scripts: makes sure there is an X display, starting a
# private Xvfb when there is none. Sets TESSEL_XVFB_PID when it started one.

tessel_display_works()
{
    [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

tessel_start_virtual_display()
{
    if tessel_display_works; then
        return 0
    fi

    local n
    for n in $(seq 90 400); do
        if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
            break
        fi
    done

    # -noreset: a bare server forgets its atoms when its last client leaves,
    # and the close-window test relies on WM_DELETE_WINDOW staying defined.
    Xvfb ":$n" -screen 0 1280x1024x24 -noreset -nolisten tcp >/dev/null 2>&1 &
    TESSEL_XVFB_PID=$!
    export DISPLAY=":$n"

    local i
    for i in $(seq 1 50); do
        if xdpyinfo >/dev/null 2>&1; then
            echo "No display found: using a virtual display (Xvfb) on $DISPLAY."
            return 0
        fi
        sleep 0.1
    done

    echo "Could not start Xvfb on $DISPLAY." >&2
    return 1
}

tessel_stop_virtual_display()
{
    if [ -n "${TESSEL_XVFB_PID:-}" ]; then
        kill "$TESSEL_XVFB_PID" 2>/dev/null || true
        wait "$TESSEL_XVFB_PID" 2>/dev/null || true
        TESSEL_XVFB_PID=""
    fi
}
