// Vexa demo: drives Notepad with window messages, step by step.
//
//   cscript demo.js                 run it on Windows (Vexa.Server registered)
//   cscript demo.js /pause:FILE     wait at the end until FILE exists (up to 30 s),
//                                   so that a screenshot can be taken
//
// Every wait is bounded: when something does not happen, the demo says what and
// quits with status 1 instead of hanging.
var vexa, shell, notepad, step = 0;

function say(text) {
    WScript.Echo("demo: " + text);
}

function fail(text) {
    say("FAILED: " + text);
    if (notepad) notepad.Terminate();
    WScript.Quit(1);
}

function report(text) {
    step++;
    say("step " + step + ": " + text);
}

// Wine's script host has no WScript.Sleep, so waiting is done by the clock.
function pause(ms) {
    var until = new Date().getTime() + ms;
    while (new Date().getTime() < until) {}
}

// Calls probe() until it returns something truthy, for at most ms milliseconds.
function waitFor(what, ms, probe) {
    var deadline = new Date().getTime() + ms, value;
    while (!(value = probe())) {
        if (new Date().getTime() > deadline) fail("gave up waiting for " + what);
        pause(100);
    }
    return value;
}

function center(window) {
    return {
        x: vexa.getWindowPosX(window) + Math.floor(vexa.getWindowSizeX(window) / 2),
        y: vexa.getWindowPosY(window) + Math.floor(vexa.getWindowSizeY(window) / 2)
    };
}

function pauseArgument() {
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var argument = WScript.Arguments(i);
        if (argument.substr(0, 7).toLowerCase() == "/pause:") return argument.substr(7);
    }
    return "";
}

try {
    vexa = new ActiveXObject("Vexa.Server");
    shell = new ActiveXObject("WScript.Shell");
    say("Vexa " + vexa.version());

    notepad = shell.Exec("notepad.exe");
    report("started Notepad");
    var title = "Untitled - Notepad";
    var window = waitFor("a window titled '" + title + "'", 20000, function () {
        return vexa.findWindow(title);
    });
    report("found '" + vexa.getWindowText(window) + "' (window " + window + ")");

    vexa.setWindowPos(window, 40, 30);
    vexa.setWindowSize(window, 720, 480);
    var x = vexa.getWindowPosX(window), y = vexa.getWindowPosY(window);
    var width = vexa.getWindowSizeX(window), height = vexa.getWindowSizeY(window);
    if (x != 40 || y != 30 || width != 720 || height != 480)
        fail("the window is at " + x + "," + y + " and " + width + "x" + height + ", not 40,30 and 720x480");
    report("moved the window to " + x + "," + y + " and made it " + width + "x" + height);

    // The text area is the child window in the middle of Notepad.
    var editor = waitFor("Notepad's text area", 10000, function () {
        var middle = center(window);
        var found = vexa.windowFromPoint(middle.x, middle.y);
        return found && found != window && vexa.topWindowFromPoint(middle.x, middle.y) == window ? found : 0;
    });
    report("found the text area (window " + editor + ")");

    vexa.setForegroundWindow(window);
    vexa.sendKeys("VexaDemo{ENTER}", editor);
    vexa.sendKeys("+hello{ENTER}+typed+by+window+messages{ENTER}", editor);
    vexa.sendKeys("{^}{+}{TAB}123{ENTER}", editor);
    report("typed three lines with sendKeys (named keys, Shift and escapes)");

    var sentence = "Pasted from the clipboard, spaces and all.";
    vexa.setClipboard(sentence);
    var back = vexa.getClipboard();
    if (back !== sentence) fail("the clipboard gave back '" + back + "'");
    report("put a sentence on the clipboard and read it back");
    vexa.sendKeys("^V{ENTER}", editor);
    report("pasted it into Notepad with Ctrl+V");

    // Read the typed text back from Notepad itself: double-click the first word
    // to select it, copy it with Ctrl+C, and look at the clipboard.
    var savedX = vexa.getMousePosX(), savedY = vexa.getMousePosY();
    vexa.setMousePos(vexa.getWindowPosX(editor) + 12, vexa.getWindowPosY(editor) + 8);
    vexa.dblClick(editor);
    vexa.sendKeys("^C", editor);
    vexa.setMousePos(savedX, savedY);
    var copied = waitFor("Notepad to copy the first word", 5000, function () {
        var text = vexa.getClipboard();
        return text !== sentence ? text : "";
    });
    if (copied !== "VexaDemo") fail("Notepad's first word reads '" + copied + "', not 'VexaDemo'");
    report("read the first word back from Notepad: '" + copied + "'");

    var pauseFile = pauseArgument();
    if (pauseFile) {
        say("ready for a screenshot");
        var files = new ActiveXObject("Scripting.FileSystemObject");
        waitFor("the screenshot", 30000, function () { return files.FileExists(pauseFile); });
    }

    notepad.Terminate();
    notepad = null;
    waitFor("Notepad to close", 10000, function () { return vexa.findWindow(title) == 0; });
    report("closed Notepad");
    say("done");
    WScript.Quit(0);
} catch (e) {
    fail("unexpected error: " + (e.message || e.description || e));
}
