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

    # -displayfd: the server picks a free display itself, under its own lock,
    # so runs started at the same moment never share (and later kill) one.
    # -noreset: a bare server forgets its atoms when its last client leaves,
    # and the close-window test relies on WM_DELETE_WINDOW staying defined.
    local numberFile i
    numberFile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
    TESSEL_XVFB_PID=$!

    for i in $(seq 1 100); do
        if [ -s "$numberFile" ]; then
            export DISPLAY=":$(head -n 1 "$numberFile")"
            if xdpyinfo >/dev/null 2>&1; then
                rm -f "$numberFile"
                echo "No display found: using a virtual display (Xvfb) on $DISPLAY."
                return 0
            fi
        fi
        kill -0 "$TESSEL_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done

    rm -f "$numberFile"
    echo "Could not start Xvfb." >&2
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
