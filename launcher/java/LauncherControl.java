package halvane.nerel.commonLib.integrador.backup;

import java.awt.Frame;

/**
 * Runs the application's backup or restore program and tells the native launcher, through
 * informarStatus, when its first window is visible and when the last one is gone.
 */
public class LauncherControl implements Runnable {

    private static final int MIL_SEGUNDOS = 200;
    private static final int SLEEP_ATIVO = 3000;
    private static final int TIMEOUT = 300;

    private static final int STATUS_AGUARDE = 0;
    private static final int STATUS_ERRO = 1;
    private static final int STATUS_ERRO_MONITOR = 2;
    private static final int STATUS_SUCESSO = 3;
    private static final int STATUS_CARGA = 4;

    public LauncherControl() {
    }

    public static void main(String[] args) {
        try {
            LauncherControl launcherCtrl = new LauncherControl();
            Thread thrMonitor = new Thread(launcherCtrl);
            thrMonitor.start();

            Launcher launcher = new Launcher(args[0]);
            ClassLoader cldr = launcher.createClassloader();
            Thread thr = new Thread(launcher);
            launcher.setClassLoader(cldr);
            thr.setContextClassLoader(cldr);
            thr.start();
        } catch (RuntimeException rex) {
            rex.printStackTrace();
        }
    }

    public void run() {
        try {
            informarStatus(STATUS_AGUARDE);
            boolean processando = true;
            boolean carregado = false;
            int timeout = 0;
            while (processando) {
                if (carregado) {
                    Thread.sleep(SLEEP_ATIVO);
                    if (!identificaJFrameAtivo()) {
                        processando = false;
                        informarStatus(STATUS_SUCESSO);
                    }
                } else {
                    Thread.sleep(MIL_SEGUNDOS);
                    if (identificaJFrameAtivo()) {
                        carregado = true;
                        informarStatus(STATUS_CARGA);
                    } else {
                        timeout++;
                        if (timeout > TIMEOUT) {
                            processando = false;
                            informarStatus(STATUS_ERRO);
                        }
                    }
                }
            }
        } catch (InterruptedException iex) {
            iex.printStackTrace();
            informarStatus(STATUS_ERRO_MONITOR);
        } catch (RuntimeException rex) {
            rex.printStackTrace();
            informarStatus(STATUS_ERRO_MONITOR);
        }
    }

    public boolean identificaJFrameAtivo() {
        boolean retorno = false;
        Frame[] arrayFrame = Frame.getFrames();
        for (int i = 0; i < arrayFrame.length; i++) {
            if (arrayFrame[i].isVisible()) {
                retorno = true;
                break;
            }
        }
        return retorno;
    }

    public native void informarStatus(int status);
}
