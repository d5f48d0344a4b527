// window_finder.js: shows what is under the mouse pointer, so that a script can be
// written against it: the pointer's position and cursor, the window there and
// its top-level window (handle, title, position, size), and the foreground
// window. Uses nothing but Vexa's own methods.
//
//   cscript window_finder.js          a report each second, when something changed
//   cscript window_finder.js --once   one report, then exit (exit status 0)
//
// Exit status: 0 done, 1 failure, 2 unknown argument.

var usage = "usage: cscript window_finder.js [--once]";
var labelWidth = 11;

// The system cursors a script is most likely to wait for (getSystemCursor ids).
var cursorNames = [
    [32512, "arrow"], [32513, "text beam"], [32514, "wait"],
    [32515, "cross"], [32649, "hand"], [32650, "arrow and hourglass"]
];

// Prints a failure where a batch file would not take it for a result; Wine's
// script host has no StdErr, so there it goes to the output.
function complain(text) {
    try {
        WScript.StdErr.WriteLine(text);
    } catch (e) {
        WScript.Echo(text);
    }
}

function pad(text, width) {
    while (text.length < width)
        text += " ";
    return text;
}

// A method that has nothing to report (a window that just went) returns
// undefined: show it as "?" rather than as a word a reader might copy.
function number(value) {
    return value === undefined ? "?" : String(value);
}

// Handles cross as signed 32-bit integers; the hex form is the unsigned one.
function handleText(handle) {
    var hex = (handle >>> 0).toString(16).toUpperCase();
    while (hex.length < 8)
        hex = "0" + hex;
    return handle + " = 0x" + hex;
}

// getWindowText returns undefined for an empty title.
function titleText(title) {
    return title === undefined ? "(none)" : "\"" + title + "\"";
}

function cursorText(vexa) {
    var cursor = vexa.getMouseCursor();
    if (!cursor)
        return "none";
    for (var i = 0; i < cursorNames.length; i++)
        if (vexa.getSystemCursor(cursorNames[i][0]) === cursor)
            return handleText(cursor) + " (" + cursorNames[i][1] + ")";
    return handleText(cursor);
}

// Two lines: the numbers, then the title, which is printed whole (findWindow
// needs it exactly) even where that makes the line long.
function windowLines(vexa, label, w) {
    if (!w)
        return [pad(label, labelWidth) + "none"];
    return [
        pad(label, labelWidth) + handleText(w) +
            "  at " + number(vexa.getWindowPosX(w)) + "," + number(vexa.getWindowPosY(w)) +
            "  size " + number(vexa.getWindowSizeX(w)) + "x" + number(vexa.getWindowSizeY(w)),
        pad("", labelWidth) + "title " + titleText(vexa.getWindowText(w))
    ];
}

// What is under the pointer now, as lines of text.
function pointerReport(vexa) {
    var x = vexa.getMousePosX(), y = vexa.getMousePosY();
    var lines = [pad("pointer", labelWidth) + x + "," + y + "  cursor " + cursorText(vexa)];
    lines = lines.concat(windowLines(vexa, "window", vexa.windowFromPoint(x, y)));
    return lines.concat(windowLines(vexa, "top-level", vexa.topWindowFromPoint(x, y)));
}

function print(lines) {
    WScript.Echo(lines.join("\r\n"));
}

function watch(vexa) {
    // Wine's script host lacks WScript.Sleep; without it the only wait left
    // would be a busy loop.
    try {
        WScript.Sleep(1);
    } catch (e) {
        complain("window_finder: this script host has no WScript.Sleep to wait with; use --once");
        return 1;
    }
    var lastReport = "", lastForeground = null;
    for (;;) {
        var news = [];
        var report = pointerReport(vexa).join("\r\n");
        if (report !== lastReport)
            news.push(report);
        var foreground = vexa.getForegroundWindow();
        if (foreground !== lastForeground)
            news.push(windowLines(vexa, "foreground", foreground).join("\r\n"));
        if (news.length)
            print(news);
        lastReport = report;
        lastForeground = foreground;
        WScript.Sleep(1000);
    }
}

function main() {
    var once = false;
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var argument = WScript.Arguments(i);
        if (argument === "--once") {
            once = true;
        } else {
            complain("window_finder: unknown argument " + argument + "\r\n" + usage);
            return 2;
        }
    }
    var vexa = new ActiveXObject("Vexa.Server");
    if (!once)
        return watch(vexa);
    print(pointerReport(vexa).concat(windowLines(vexa, "foreground", vexa.getForegroundWindow())));
    return 0;
}

// An uncaught error would end the script silently with status 0 under Wine.
var status;
try {
    status = main();
} catch (e) {
    complain("window_finder: " + (e.message || "error " + (e.number >>> 0).toString(16)));
    status = 1;
}
WScript.Quit(status);
