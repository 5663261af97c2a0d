// The ActionScript 3 sound test movie (10 frames a second): a library sound bound to a class
// plays on channels whose volume, pan and stopping tests/engine/test_sound.cpp hears in the
// engine's mix; its trace probes the flash.media classes. The beep is 0.2 s of 440 Hz.
import flash.Lib;
import flash.events.Event;
import flash.media.Sound;
import flash.media.SoundChannel;
import flash.media.SoundLoaderContext;
import flash.media.SoundMixer;
import flash.media.SoundTransform;
import flash.utils.ByteArray;

@:sound("build/as3_beep.wav") class Beep extends Sound {}

class SoundScript {
    static var beep:Sound;
    static var frame = 0;
    static var long:SoundChannel;

    // The loudest level each side, to two places, and in the spectrum where the right side's
    // lies (440 Hz is the 20th of 2048 bands of 44.1 kHz; every other is kept).
    static function levels(fft:Bool):String {
        var bytes = new ByteArray();
        SoundMixer.computeSpectrum(bytes, fft);
        var peak = [0.0, 0.0];
        var at = 0;
        for (i in 0...512) {
            var v = Math.abs(bytes.readFloat());
            if (v > peak[i >> 8]) {
                peak[i >> 8] = v;
                if (i >= 256)
                    at = i - 256;
            }
        }
        return Math.round(peak[0] * 100) / 100 + " " + Math.round(peak[1] * 100) / 100 + (fft ? " " + at : "");
    }

    static function main() {
        beep = new Beep();
        Lib.trace(beep.length + " " + beep.bytesTotal + " " + beep.bytesLoaded + " " + beep.isBuffering
            + " " + beep.url + " " + beep.id3 + " " + beep.id3.songName);
        var t = new SoundTransform();
        Lib.trace(t.volume + " " + t.pan + " " + t.leftToLeft + " " + t.leftToRight + " " + t.rightToLeft
            + " " + t.rightToRight);
        t = new SoundTransform(0.5, 1);
        Lib.trace(t.leftToLeft + " " + t.rightToRight + " " + t.pan);
        t.leftToRight = 0.3;
        Lib.trace(t.pan);
        // Whatever is playing, no more than 32 channels.
        var quiet = new SoundTransform(0);
        var got = 0;
        for (i in 0...40)
            if (beep.play(0, 0, quiet) != null)
                got++;
        SoundMixer.stopAll();
        Lib.trace("channels " + got);
        // A start past the end gives no channel; one at the end does.
        var atEnd = beep.play(200);
        Lib.trace((atEnd != null) + " " + (beep.play(201) == null));
        atEnd.stop();
        var none = new Sound();
        var nothing = none.play();
        Lib.trace(none.length + " " + none.bytesTotal + " " + nothing.position + " " + nothing.leftPeak);
        Lib.trace(none.extract(new ByteArray(), 100));
        // 0.2 s is 8820 frames at 44.1 kHz; a read without a start goes on from the last.
        var pcm = new ByteArray();
        var first = beep.extract(pcm, 4000, 0);
        var rest = beep.extract(pcm, 10000);
        var loudest = 0.0;
        pcm.position = 0;
        for (i in 0...8000)
            loudest = Math.max(loudest, Math.abs(pcm.readFloat()));
        Lib.trace(first + " " + rest + " " + pcm.length + " " + Math.round(loudest * 100) / 100 + " "
            + beep.extract(pcm, 10, 8820));
        // Read again from a start of its own, it begins anew.
        var again = new ByteArray();
        beep.extract(again, 100, 0);
        pcm.position = again.position = 0;
        var same = true;
        for (i in 0...200)
            same = same && pcm.readFloat() == again.readFloat();
        var tags = beep.id3;
        tags.comment = "c";
        tags.genre = "g";
        Lib.trace(same + " " + tags.comment + tags.genre + tags.album);
        none.load(null);
        Lib.trace(SoundMixer.bufferTime + " " + SoundMixer.areSoundsInaccessible());
        SoundMixer.bufferTime = 2500;
        Lib.trace(SoundMixer.bufferTime);
        var spectrum = new ByteArray();
        spectrum.writeUTFBytes("xyz");
        SoundMixer.computeSpectrum(spectrum);
        Lib.trace(spectrum.length + " " + spectrum.position + " " + spectrum.readFloat());
        var context = new SoundLoaderContext();
        var strict = new SoundLoaderContext(5, true);
        Lib.trace(context.bufferTime + " " + context.checkPolicyFile + " " + strict.bufferTime + " "
            + strict.checkPolicyFile);

        // Twice over, at half volume, panned left; parts are kept in whole percents.
        var first = beep.play(0, 2, new SoundTransform(0.5, -0.4));
        var st = first.soundTransform;
        Lib.trace(st.volume + " " + st.leftToLeft + " " + st.rightToRight + " " + first.position);
        try {
            first.soundTransform = null;
        } catch (e:flash.errors.TypeError) {
            Lib.trace(e.errorID);
        }
        first.addEventListener(Event.SOUND_COMPLETE, function(e:Event) {
            Lib.trace("complete A " + e.target + " " + first.position + " " + frame);
            long = beep.play(0, 100);
        });
        Lib.current.addEventListener(Event.ENTER_FRAME, function(e:Event) {
            frame++;
            if (frame == 8) {
                long.soundTransform = new SoundTransform(0.25, 1); // live: right only
            } else if (frame == 10) {
                Lib.trace("wave " + levels(false) + " spectrum " + levels(true) + " peaks "
                    + Math.round(long.leftPeak * 100) / 100 + " " + Math.round(long.rightPeak * 100) / 100);
                // Stretched by 4, each of the first levels comes three times over.
                var stretched = new ByteArray();
                SoundMixer.computeSpectrum(stretched, false, 4);
                stretched.position = 1024;
                var r = [for (i in 0...6) stretched.readFloat()];
                Lib.trace("stretched " + (r[0] == r[2] && r[3] == r[5] && r[2] != r[3]));
            } else if (frame == 12) {
                Lib.trace("stopped B " + (long.position > 600 && long.position < 900));
                long.stop();
                long.stop();
            } else if (frame == 15) {
                SoundMixer.soundTransform = new SoundTransform(0.5);
                var third = beep.play();
                third.addEventListener(Event.SOUND_COMPLETE, function(e:Event) {
                    Lib.trace("complete C " + frame + " " + third.position);
                });
            } else if (frame == 18) {
                var fourth = beep.play(0, 10);
                fourth.addEventListener(Event.SOUND_COMPLETE, function(e:Event) {
                    Lib.trace("complete D");
                });
            } else if (frame == 20) {
                SoundMixer.stopAll();
                Lib.trace("stopped all " + SoundMixer.soundTransform.volume);
            }
        });
    }
}
