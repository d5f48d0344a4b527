// examples/window_finder.js --once run as a user runs it, with the pointer over a
// window of known title and placement and over the bare desktop; its report
// is read back from the file its output went to.
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

var shell, files, top, finder, output;

// Wine's Exec gives no readable StdOut and no ExitCode: the output goes to a
// file through cmd, and Run's wait returns the exit status.
function runInspect() {
    var status = shell.Run("cmd /c \"\"" + WScript.FullName + "\" //nologo \"" + finder + "\" --once > \"" +
                           output + "\"\"", 0, true);
    var text = "";
    if (files.FileExists(output)) {
        var stream = files.OpenTextFile(output);
        text = stream.AtEndOfStream ? "" : stream.ReadAll();
        stream.Close();
        files.DeleteFile(output);
    }
    return { status: status, text: text, lines: text.split(/\r?\n/) };
}

// The fields of the line with this label and of the title line below it.
function fields(report, label) {
    for (var i = 0; i < report.lines.length; i++) {
        var line = report.lines[i];
        if (line.indexOf(label + " ") !== 0)
            continue;
        var numbers = /^\S+ +(-?\d+) = 0x([0-9A-F]{8})  at (-?\d+),(-?\d+)  size (\d+)x(\d+)$/.exec(line);
        var title = /^ +title (.*)$/.exec(report.lines[i + 1] || "");
        if (!numbers)
            return { line: line };
        return { line: line, handle: +numbers[1], hex: parseInt(numbers[2], 16), x: +numbers[3], y: +numbers[4],
                 width: +numbers[5], height: +numbers[6], title: title ? title[1] : undefined };
    }
    return {};
}

var title = "Vexa found window";
var place = { x: 210, y: 170, width: 330, height: 190 };
var vexa = null, host = null, pointerX, pointerY;
try {
    shell = new ActiveXObject("WScript.Shell");
    files = new ActiveXObject("Scripting.FileSystemObject");
    top = files.GetParentFolderName(files.GetParentFolderName(files.GetParentFolderName(WScript.ScriptFullName)));
    finder = files.BuildPath(top, "examples\\window_finder.js");
    output = files.BuildPath(files.GetSpecialFolder(2).Path, files.GetTempName());
    var arch = shell.ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%") === "x86" ? "x86" : "x64";
    vexa = new ActiveXObject("Vexa.Server");
    pointerX = vexa.getMousePosX();
    pointerY = vexa.getMousePosY();
    host = shell.Exec("\"" + files.BuildPath(top, "build\\" + arch + "\\window_host.exe") + "\" " + place.x + " " +
                      place.y + " " + place.width + " " + place.height + " v \"" + title + "\"");
    var w = waitFor(function () { return vexa.findWindow(title); }, 15000);
    check("the window to find opens", w !== 0, w);
    if (w) {
        vexa.setMousePos(place.x + 100, place.y + 60);
        var report = runInspect();
        check("the report over the window exits 0", report.status === 0, report.status + ": " + report.text);
        check("the report gives the pointer", /^pointer +310,230  cursor /.test(report.lines[0]), report.lines[0]);
        var labels = ["window", "top-level"];
        for (var i = 0; i < labels.length; i++) {
            var found = fields(report, labels[i]);
            var expected = { handle: w, hex: w >>> 0, x: place.x, y: place.y, width: place.width,
                             height: place.height, title: "\"" + title + "\"" };
            var wrong = [];
            for (var field in expected)
                if (found[field] !== expected[field])
                    wrong.push(field + " " + found[field] + " instead of " + expected[field]);
            check("the " + labels[i] + " line names the window", wrong.length === 0,
                  wrong.join(", ") + " in: " + found.line);
        }
    }

    // Far from the window: only the desktop is there, which has no title.
    vexa.setMousePos(1100, 900);
    var bare = runInspect();
    check("the report over the desktop exits 0", bare.status === 0, bare.status + ": " + bare.text);
    check("no top-level window over the desktop", fields(bare, "top-level").line === "top-level  none",
          fields(bare, "top-level").line);
    var desktop = fields(bare, "window");
    check("the desktop is reported untitled", desktop.title === "(none)", desktop.line + " / " + desktop.title);
} catch (e) {
    check("the script runs to its end", false, e.message);
}
try {
    if (host) {
        host.Terminate();
        check("the found window closes", waitFor(function () { return vexa.findWindow(title) === 0; }, 15000));
    }
    if (pointerX !== undefined)
        vexa.setMousePos(pointerX, pointerY);
} catch (e) {
    check("the script cleans up", false, e.message);
}
WScript.Echo("script-result: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed ? 1 : 0);
