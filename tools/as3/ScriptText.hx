// Text fields a script makes: a boxed field sized by width and height, one that keeps its
// text and colours while taken off the stage and put back, and the formats and text
// methods traced a line each (tests/engine/test_as3_display.cpp holds what Flash prints).
// Compiled with `haxe -swf tests/engine/movies/as3_text.swf -main ScriptText -swf-version 10
// -swf-header 400:300:30:FFFFFF` (tools/as3/build.sh).
import flash.Lib;
import flash.events.Event;
import flash.text.TextField;
import flash.text.TextFormat;

class ScriptText {
    static function main() {
        var root = Lib.current;
        var boxed = new TextField();
        boxed.background = true;
        boxed.backgroundColor = 0x00FF00;
        boxed.border = true;
        boxed.borderColor = 0xFF0000;
        boxed.x = 10;
        boxed.y = 10;
        boxed.width = 100;
        boxed.height = 40;
        root.addChild(boxed);
        var kept = new TextField();
        kept.background = true;
        kept.backgroundColor = 0x0000FF;
        kept.x = 200;
        kept.y = 10;
        kept.width = 50;
        kept.height = 50;
        root.addChild(kept);
        var frame = 0;
        root.addEventListener(Event.ENTER_FRAME, function(_) {
            ++frame;
            if (frame == 2)
                root.removeChild(kept);
            if (frame == 4)
                root.addChild(kept);
        });

        var t = new TextField();
        var loose:Dynamic = t;
        t.text = "Hello\nWorld";
        Lib.trace(t.length + " " + (t.text == "Hello\rWorld"));
        var bold = new TextFormat();
        bold.bold = true;
        t.setTextFormat(bold, 0, 5);
        Lib.trace(t.getTextFormat(0, 5).bold + " " + t.getTextFormat().bold + " " + t.getTextFormat(6).bold);
        t.appendText("!");
        t.replaceText(0, 5, "Howdy");
        Lib.trace(t.text.split("\r").join("/") + " " + t.length);
        t.textColor = 0xFF0000;
        Lib.trace(t.getTextFormat(3).color + " " + t.textColor);
        t.htmlText = "<b>x</b>y";
        Lib.trace(t.text + " " + t.getTextFormat(0).bold + " " + t.getTextFormat(1).bold);
        var big = new TextFormat("Arial", 30, 0x123456, null, true, null, null, null, flash.text.TextFormatAlign.CENTER);
        t.defaultTextFormat = big;
        t.text = "z";
        var f = t.getTextFormat(0);
        Lib.trace(f.font + " " + f.size + " " + f.color + " " + f.italic + " " + f.align + " " + f.bold);
        Lib.trace(t.autoSize + " " + t.type + " " + t.wordWrap + " " + t.multiline + " " + t.selectable);
        t.autoSize = flash.text.TextFieldAutoSize.LEFT;
        t.type = flash.text.TextFieldType.INPUT;
        Lib.trace(t.autoSize + " " + t.type);
        for (thing in [function() loose.autoSize = "sideways", function() loose.type = "static",
                       function() t.getTextFormat(5), function() t.setTextFormat(big, 0, 9)]) {
            try {
                thing();
                Lib.trace("no error");
            } catch (e:Dynamic) {
                Lib.trace(e.errorID);
            }
        }
        var sized = new TextField();
        sized.width = 123;
        sized.height = 45;
        sized.scaleX = 2;
        Lib.trace(sized.width + " " + sized.height);
    }
}
