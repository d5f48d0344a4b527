// The window methods on a real application: Wine's notepad, found by its title,
// read, moved, resized and closed again.
var passed = 0, failed = 0;

function check(what, ok, detail) {
    if (ok) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAILED: " + what + (detail !== undefined ? " (got " + detail + ")" : ""));
    }
}

// Wine's script host has no WScript.Sleep: poll against the clock.
function waitFor(probe, milliseconds) {
    var deadline = new Date().getTime() + milliseconds;
    var value = probe();
    while (!value && new Date().getTime() < deadline)
        value = probe();
    return value;
}

var title = "Untitled - Notepad";
var vexa = null, notepad = null;
try {
    vexa = new ActiveXObject("Vexa.Server");
    check("no notepad window before the start", vexa.findWindow(title) === 0);
    // Exec rather than Run: its object can end the program again.
    notepad = new ActiveXObject("WScript.Shell").Exec("notepad.exe");
    var w = waitFor(function () { return vexa.findWindow(title); }, 15000);
    check("the window is found by its title", w !== 0, w);
    if (w) {
        check("its title reads back", vexa.getWindowText(w) === title, vexa.getWindowText(w));
        var width = vexa.getWindowSizeX(w), height = vexa.getWindowSizeY(w);
        check("it has a size", width > 100 && height > 100, width + "x" + height);

        vexa.setWindowPos(w, 40, 30);
        var x = vexa.getWindowPosX(w), y = vexa.getWindowPosY(w);
        check("setWindowPos moves it", x === 40 && y === 30, x + "," + y);
        check("setWindowPos keeps its size", vexa.getWindowSizeX(w) === width && vexa.getWindowSizeY(w) === height,
              vexa.getWindowSizeX(w) + "x" + vexa.getWindowSizeY(w));

        vexa.setWindowSize(w, 500, 400);
        check("setWindowSize resizes it", vexa.getWindowSizeX(w) === 500 && vexa.getWindowSizeY(w) === 400,
              vexa.getWindowSizeX(w) + "x" + vexa.getWindowSizeY(w));
        check("setWindowSize keeps its place", vexa.getWindowPosX(w) === 40 && vexa.getWindowPosY(w) === 30,
              vexa.getWindowPosX(w) + "," + vexa.getWindowPosY(w));
        check("it is the top window at both its corners",
              vexa.topWindowFromPoint(40, 30) === w && vexa.topWindowFromPoint(540, 430) === w);
    }
} catch (e) {
    check("the script runs to its end", false, e.message);
}
try {
    if (notepad) {
        notepad.Terminate();
        check("the window is gone once notepad ends",
              waitFor(function () { return vexa.findWindow(title) === 0; }, 15000));
    }
} catch (e) {
    check("notepad is ended", false, e.message);
}
WScript.Echo("script-result: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed ? 1 : 0);
