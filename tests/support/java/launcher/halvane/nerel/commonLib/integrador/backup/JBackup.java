package halvane.nerel.commonLib.integrador.backup;

import java.awt.Frame;

/**
 * Test stand-in for the backup program. System property qvtest.frame:
 *   "none"                       never shows a window
 *   "SHOW,CLOSE,dispose|hide"    shows a frame SHOW ms after main, closes it CLOSE ms after main
 */
public class JBackup {
    public static void main(String[] args) throws Exception {
        System.out.println("JBackup.main args=" + args.length);
        System.err.println("JBackup on standard error");
        String plan = System.getProperty("qvtest.frame", "none");
        if (plan.equals("none"))
            return;
        String[] p = plan.split(",");
        long show = Long.parseLong(p[0]);
        long close = Long.parseLong(p[1]);
        Thread.sleep(show);
        Frame f = new Frame("JBackup");
        f.setSize(200, 120);
        f.setVisible(true);
        System.out.println("frame shown at " + System.currentTimeMillis());
        Thread.sleep(close - show);
        if (p[2].equals("hide"))
            f.setVisible(false);
        else
            f.dispose();
        System.out.println("frame " + p[2] + " at " + System.currentTimeMillis());
    }
}
