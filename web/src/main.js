import 'uplot/dist/uPlot.min.css'; import uPlot from 'uplot'; console.log(typeof uPlot);
