// A movie drawn by script: a filled rectangle and a pill on the root's own graphics, a
// half-clear circle in a sprite placed by script, a sprite drawn before it was added, moved
// by a later frame, two overlapping squares whose order the script changes, and a white
// square tinted blue by its colour transform, stretched by its matrix a frame later.
// Compiled with `haxe -swf tests/engine/movies/as3_drawing.swf -main ScriptDrawing
// -swf-version 10 -swf-header 400:300:30:FFFFFF` (tools/as3/build.sh).
import flash.display.Sprite;
import flash.events.Event;

class ScriptDrawing {
    static function main() {
        var root = flash.Lib.current;
        var g = root.graphics;
        g.beginFill(0x0000FF);
        g.drawRect(10, 10, 100, 50);
        g.endFill();
        // A pill: corners as round as the height allows, ends half circles.
        g.beginFill(0x0000FF);
        g.drawRoundRect(10, 90, 120, 60, 60);
        g.endFill();
        var circle = new Sprite();
        circle.graphics.beginFill(0xFF0000, 0.5);
        circle.graphics.drawCircle(0, 0, 40);
        circle.x = 200;
        circle.y = 150;
        root.addChild(circle);
        // Drawn and nested before it reaches the stage.
        var holder = new Sprite();
        var square = new Sprite();
        square.graphics.lineStyle(4, 0x00AA00);
        square.graphics.beginFill(0xFFFF00);
        square.graphics.drawRoundRect(0, 0, 60, 60, 20);
        square.graphics.endFill();
        holder.addChild(square);
        holder.x = 300;
        holder.y = 20;
        root.addChild(holder);
        // Added below one already there, then brought to the top a frame later.
        var red = new Sprite();
        red.graphics.beginFill(0xFF0000);
        red.graphics.drawRect(20, 200, 60, 60);
        root.addChild(red);
        var green = new Sprite();
        green.graphics.beginFill(0x00FF00);
        green.graphics.drawRect(50, 230, 60, 60);
        root.addChildAt(green, root.getChildIndex(red));
        var tinted = new Sprite();
        tinted.graphics.beginFill(0xFFFFFF);
        tinted.graphics.drawRect(0, 0, 40, 40);
        tinted.x = 150;
        tinted.y = 20;
        root.addChild(tinted);
        tinted.transform.colorTransform = new flash.geom.ColorTransform(0, 0, 0, 1, 0, 0, 255, 0);
        // Counted by a sprite never added, whose only listener is this one: every display
        // object hears exitFrame, on the stage or not.
        // Removed later: its removedFromStage does not bubble up to the root, which would
        // mark the picture.
        var gone = new Sprite();
        root.addChild(gone);
        root.addEventListener(Event.REMOVED_FROM_STAGE, function(_) {
            g.beginFill(0x000000);
            g.drawRect(150, 260, 20, 20);
            g.endFill();
        });
        var frames = 0;
        var ticker = new Sprite();
        ticker.addEventListener(Event.EXIT_FRAME, function(_) {
            frames++;
            if (frames == 2) {
                holder.y = 200;
                circle.visible = false;
                root.setChildIndex(green, root.numChildren - 1);
                root.removeChild(gone);
                tinted.transform.matrix = new flash.geom.Matrix(2, 0, 0, 1, 150, 20);
            }
        });
    }
}
